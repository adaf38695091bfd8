// The program's own file operations, on both systems.
#include "platform/file_io.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

// A new file is the caller's own: a file or a link already at the name is never opened, and
// what the link leads to is left as it was.
TEST(FileIoTest, ANewFileIsNeverOpenedThroughWhatIsAlreadyThere) {
  testing::TempDir dir;
  const std::string fresh = dir.file("fresh.tmp");
  ASSERT_TRUE(createNewFile(fresh));
  EXPECT_EQ(readWholeFile(fresh), std::string());
  EXPECT_FALSE(createNewFile(fresh));

  const std::string existing = dir.write("existing.tmp", "kept");
  EXPECT_FALSE(createNewFile(existing));
  EXPECT_EQ(readWholeFile(existing), "kept");
  EXPECT_FALSE(createNewFile(dir.file("no-such-folder/a.tmp")));

  const std::string victim = dir.write("victim.txt", "victim");
  const std::string planted = dir.file("planted.tmp");
  if (!testing::makeLink(victim, planted) || entryKind(planted) != EntryKind::Link) {
    GTEST_SKIP() << "no links here";  // Wine reports links it does not make
  }
  EXPECT_FALSE(createNewFile(planted));
  EXPECT_EQ(readWholeFile(victim), "victim");
}

}  // namespace
}  // namespace zentro::platform
