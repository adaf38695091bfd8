// What only Windows has among the machine facts: the system folders and the user's own
// thousands separator; tests/platform/machine_facts_test.cpp holds the contract both systems
// share.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "installer/count_format.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

TEST(PathsWinTest, SystemFoldersAreTheRealOnes) {
  const std::string windows = windowsFolder();
  const std::string system = systemFolder();
  EXPECT_TRUE(std::filesystem::is_directory(pathFromUtf8(windows))) << windows;
  EXPECT_TRUE(std::filesystem::is_directory(pathFromUtf8(system))) << system;
  // SYSTEMDIR is where 32-bit programs load from: this 64-bit program on 64-bit Windows asks
  // for SysWOW64, not its own System32.
  EXPECT_EQ(CompareStringOrdinal(win32::toWide(system).c_str(), -1,
                                 win32::toWide(windows + "\\SysWOW64").c_str(), -1, TRUE),
            CSTR_EQUAL);
}

// "#,##0" groups with the user's own separator, changes in the regional settings included.
TEST(NumberFormatWinTest, TheUsersThousandsSeparator) {
  constexpr wchar_t kIntl[] = L"Control Panel\\International";
  wchar_t saved[8] = {};
  DWORD size = sizeof saved;
  const bool had = RegGetValueW(HKEY_CURRENT_USER, kIntl, L"sThousand", RRF_RT_REG_SZ, nullptr,
                                saved, &size) == ERROR_SUCCESS;
  RegSetKeyValueW(HKEY_CURRENT_USER, kIntl, L"sThousand", REG_SZ, L".", sizeof L".");
  const std::string count = formatCount(1500);
  if (had) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kIntl, L"sThousand", REG_SZ, saved, size);
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kIntl, L"sThousand");
  }
  EXPECT_EQ(count, "1.500");
}

}  // namespace
}  // namespace zentro::platform
