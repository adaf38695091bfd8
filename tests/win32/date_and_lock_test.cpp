// The Windows date parser (OLE Automation, user locale) and the sharing-violation probe.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/date_parse.h"
#include "platform/file_lock.h"
#include "platform/file_mode.h"
#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

TEST(DateParseWinTest, IsoAndLocaleFormsGiveAutomationDates) {
  EXPECT_DOUBLE_EQ(parseDate(" 2024-01-15T18:00:00 ")->days, 45306.75);  // ISO, as on Linux
  // The forms the service and the stamp files use in the US locale.
  ASSERT_TRUE(parseDate("1/15/2024 6:00:00 PM").has_value());
  EXPECT_DOUBLE_EQ(parseDate("1/15/2024 6:00:00 PM")->days, 45306.75);
  EXPECT_DOUBLE_EQ(parseDate("12/31/2023 23:59:59")->days,
                   45291.0 + (23 * 3600 + 59 * 60 + 59) / 86400.0);
  for (const char* text : {"", "   ", "not a date", "2024-13-40", "13/45/2024"}) {
    EXPECT_FALSE(parseDate(text).has_value()) << text;
  }
}

TEST(FileLockWinTest, AFileHeldWithoutSharingIsInUse) {
  zentro::testing::TempDir dir;
  const std::string path = dir.write("held.dll", "x");
  const std::wstring wide = pathFromUtf8(path).wstring();
  EXPECT_FALSE(fileInUse(path));
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(fileInUse(path));
  CloseHandle(h);
  EXPECT_FALSE(fileInUse(path));
  // Read sharing is not enough to replace the file.
  h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_TRUE(fileInUse(path));
  CloseHandle(h);
  // Read-only and missing files are not in use: the install clears or ignores them.
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(fileInUse(path));
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(fileInUse(dir.file("missing.dll")));

  // The program's own hold on a file it makes: in use, not removable, gone with the hold.
  const std::string lock = dir.file("spool.tmp.lock");
  {
    const auto held = holdNewFileLock(lock);
    ASSERT_TRUE(held);
    EXPECT_TRUE(fileInUse(lock));
    EXPECT_FALSE(removeUnlessInUse(lock));
    EXPECT_FALSE(holdNewFileLock(lock)) << "only a new file is held";
  }
  EXPECT_EQ(GetFileAttributesW(pathFromUtf8(lock).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(removeUnlessInUse(path));
}

TEST(FileModeWinTest, AnyExistingFileIsRunnable) {
  zentro::testing::TempDir dir;
  EXPECT_TRUE(makeRunnableIfProgram(dir.write("setup.exe", "MZ")));
  EXPECT_TRUE(makeRunnableIfProgram(dir.write("readme.txt", "text")));
  EXPECT_FALSE(makeRunnableIfProgram(dir.file("missing.exe")));
  EXPECT_FALSE(makeRunnableIfProgram(dir.str()));
}

}  // namespace
}  // namespace zentro::platform
