// What only Windows has among the machine facts: the system folders and the user's own
// thousands separator; tests/platform/paths_test.cpp and machine_info_test.cpp hold the
// contract both systems share.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "installer/count_format.h"
#include "platform/paths.h"
#include "platform/file_path.h"

namespace zentro::platform {
namespace {

TEST(PathsWinTest, SystemFoldersAreTheRealOnes) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  };
  const std::string windows = windowsFolder();
  const std::string system = systemFolder();
  EXPECT_TRUE(std::filesystem::is_directory(pathFromUtf8(windows))) << windows;
  EXPECT_TRUE(std::filesystem::is_directory(pathFromUtf8(system))) << system;
  // SYSTEMDIR is where 32-bit programs load from: this 64-bit program on 64-bit Windows asks
  // for SysWOW64, not its own System32.
  EXPECT_EQ(lower(system), lower(windows) + "\\syswow64");
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
