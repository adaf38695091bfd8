// Files held by running programs, and making a delivered program runnable: one contract for
// both systems (Windows sharing modes, Linux exclusive locks and execute rights).
#include "platform/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_mode.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileLockTest, HeldFilesAreInUseAndTheProgramsOwnHoldGoesWithIt) {
  zentro::testing::TempDir dir;
  const std::string path = dir.write("held.dll", "x");
  EXPECT_FALSE(fileInUse(path));
  {
    zentro::testing::HeldFile holder(path);
    ASSERT_TRUE(holder.held());
    EXPECT_TRUE(fileInUse(path));
    EXPECT_FALSE(removeUnlessInUse(path));
  }
  EXPECT_FALSE(fileInUse(path));
  // Read-only and missing files are not in use: the install clears or ignores them.
  fs::permissions(pathFromUtf8(path), fs::perms::owner_read);
  EXPECT_FALSE(fileInUse(path));
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
  EXPECT_FALSE(fs::exists(pathFromUtf8(lock)));
  fs::permissions(pathFromUtf8(path), fs::perms::owner_all);
  EXPECT_TRUE(removeUnlessInUse(path));
  EXPECT_FALSE(fs::exists(pathFromUtf8(path)));
}

TEST(FileModeTest, ProgramsAreMadeRunnable) {
  zentro::testing::TempDir dir;
  const std::string script = dir.write("setup.exe", "#!/bin/sh\nexit 0\n");
  EXPECT_TRUE(makeRunnableIfProgram(script));
  EXPECT_NE(fs::status(pathFromUtf8(script)).permissions() & fs::perms::owner_exec,
            fs::perms::none);
  // Windows runs any file; Linux only programs.
  EXPECT_EQ(makeRunnableIfProgram(dir.write("readme.txt", "text")), zentro::testing::kWindows);
  EXPECT_FALSE(makeRunnableIfProgram(dir.file("missing.exe")));
  EXPECT_FALSE(makeRunnableIfProgram(dir.str()));
}

}  // namespace
}  // namespace zentro::platform
