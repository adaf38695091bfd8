// Machine facts from Windows (address table, memory status, version word) and the folder
// queries, checked for the properties the report and the working folders rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "app/machine_report.h"
#include "installer/count_format.h"
#include "platform/machine_info.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/win32_test_support.h"

namespace zentro::platform {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool isFolder(const std::string& path) {
  DWORD attrs = GetFileAttributesW(win32::toWide(path).c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(MachineInfoWinTest, AddressTableIsSortedAndTheReportSendsItsLastRow) {
  auto table = ipv4AddressTable();
  ASSERT_TRUE(table.has_value());
  ASSERT_FALSE(table->empty());
  EXPECT_TRUE(std::is_sorted(table->begin(), table->end()));
  EXPECT_NE(std::find(table->begin(), table->end(), 0x7F000001u), table->end())
      << "the loopback address is part of the table";
  EXPECT_EQ(GetIpAddresses(), ipv4Text(table->back()));
}

TEST(MachineInfoWinTest, MemoryStatusIsConsistentAndReportedInEightLines) {
  auto memory = memoryStatus();
  ASSERT_TRUE(memory.has_value());
  EXPECT_GT(memory->totalPhys, 0u);
  EXPECT_LE(memory->availPhys, memory->totalPhys);
  EXPECT_LE(memory->memoryLoad, 100u);
  EXPECT_GT(memory->totalVirtual, 0u);
  EXPECT_LE(memory->availVirtual, memory->totalVirtual);
  const std::string report = buildMachineReport(memory, true);
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 8);
  EXPECT_EQ(report.find(machine_report::kAvailablePageFile), 0u);
  EXPECT_NE(report.find(std::string(machine_report::kMemoryLoad) +
                        std::to_string(memory->memoryLoad) + "\r\n"),
            std::string::npos);
  EXPECT_NE(report.find("Has admin access = Yes\r\n"), std::string::npos);
}

TEST(MachineInfoWinTest, VersionWordIsOfTheNtFamily) {
  const std::uint32_t word = osVersionWord();
  EXPECT_EQ(word & 0x80000000u, 0u);
  EXPECT_GE(word & 0xFFu, 5u);  // major version in the low byte
}

TEST(PathsWinTest, SystemFoldersAreTheRealOnes) {
  EXPECT_EQ(pathSeparator(), '\\');
  EXPECT_EQ(joinPath("C:\\a", "b"), "C:\\a\\b");
  const std::string windows = windowsFolder();
  const std::string system = systemFolder();
  ASSERT_FALSE(windows.empty());
  EXPECT_TRUE(isFolder(windows));
  EXPECT_TRUE(isFolder(system));
  // SYSTEMDIR is where 32-bit programs load from: this 64-bit program on 64-bit Windows asks
  // for SysWOW64, not its own System32.
  EXPECT_EQ(lower(system), lower(windows) + "\\syswow64");
  const std::string appData = roamingAppDataFolder();
  ASSERT_FALSE(appData.empty());
  EXPECT_TRUE(isFolder(appData));
  EXPECT_NE(appData.back(), '\\');
}

TEST(PathsWinTest, ProgramAndTempFolders) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string exe = win32::fromWide(self);
  EXPECT_EQ(programFolder(), exe.substr(0, exe.find_last_of('\\')));
  EXPECT_EQ(programBaseName(), "test_win32");
  const std::string temp = tempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_NE(temp.back(), '\\');
  EXPECT_TRUE(isFolder(temp));
}

TEST(PathsWinTest, FoldersAreCreatedOneLevelAtATime) {
  zentro::testing::TempDir dir;
  const std::string level1 = joinPath(dir.str(), "Velmora");
  EXPECT_FALSE(createFolder(joinPath(level1, "Velmora Zentro")));  // parent missing
  EXPECT_TRUE(createFolder(level1));
  EXPECT_FALSE(createFolder(level1));  // exists already
  EXPECT_TRUE(createFolder(joinPath(level1, "Velmora Zentro")));
  EXPECT_EQ(fullPathName(joinPath(level1, "..\\Velmora\\.\\x.txt")), joinPath(level1, "x.txt"));
  EXPECT_EQ(fullPathName(""), "");
  // Any character in a folder's name: created as spelt, and found again.
  const std::string other = joinPath(dir.str(), zentro::testing::kNonAscii);
  EXPECT_TRUE(createFolder(other));
  EXPECT_TRUE(isFolder(other));
  EXPECT_EQ(fullPathName(joinPath(other, "..\\x")), joinPath(dir.str(), "x"));
  EXPECT_EQ(fullPathName(joinPath(other, "y")), joinPath(other, "y"));
}

// "#,##0" groups with the user's own separator, changes in the regional settings included.
TEST(NumberFormatWinTest, TheUsersThousandsSeparator) {
  HKEY intl = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\International", 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, &intl),
            ERROR_SUCCESS);
  wchar_t saved[8] = {};
  DWORD size = sizeof saved;
  const bool had = RegQueryValueExW(intl, L"sThousand", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(saved), &size) == ERROR_SUCCESS;
  const wchar_t german[] = L".";
  RegSetValueExW(intl, L"sThousand", 0, REG_SZ, reinterpret_cast<const BYTE*>(german),
                 sizeof german);
  const std::string count = formatCount(1500);
  if (had) {
    RegSetValueExW(intl, L"sThousand", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), size);
  } else {
    RegDeleteValueW(intl, L"sThousand");
  }
  RegCloseKey(intl);
  EXPECT_EQ(count, "1.500");
}

}  // namespace
}  // namespace zentro::platform
