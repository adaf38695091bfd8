#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;

class PathsTest : public ::testing::Test {
 protected:
  PathsTest() {
    env_.set("HOME", home());
    env_.unset("XDG_CONFIG_HOME");
    env_.unset("XDG_DATA_HOME");
  }
  std::string home() const { return dir_.file("home"); }

  zentro::testing::TempDir dir_;
  zentro::testing::ScopedEnv env_;
};

TEST_F(PathsTest, JoinsWithOneSlash) {
  EXPECT_EQ(pathSeparator(), '/');
  EXPECT_EQ(joinPath("/a/b", "c.txt"), "/a/b/c.txt");
  // Plain concatenation: an empty part leaves an empty level, as the program builds paths.
  EXPECT_EQ(joinPath("/a", ""), "/a/");
  EXPECT_EQ(joinPath(joinPath("/p", ""), "d"), "/p//d");
}

TEST_F(PathsTest, RoamingFolderDefaultsUnderHomeAndIsCreated) {
  EXPECT_EQ(roamingAppDataFolder(), home() + "/.config");
  EXPECT_TRUE(fs::is_directory(home() + "/.config"));

  env_.set("XDG_CONFIG_HOME", dir_.file("cfg/deep"));
  EXPECT_EQ(roamingAppDataFolder(), dir_.file("cfg/deep"));
  EXPECT_TRUE(fs::is_directory(dir_.file("cfg/deep")));

  // A relative XDG value is invalid and ignored.
  env_.set("XDG_CONFIG_HOME", "relative/cfg");
  EXPECT_EQ(roamingAppDataFolder(), home() + "/.config");
}

TEST_F(PathsTest, RoamingFolderIsEmptyWhenItCannotBeCreated) {
  dir_.write("blocker", "a file where a folder should go");
  env_.set("XDG_CONFIG_HOME", dir_.file("blocker/cfg"));
  EXPECT_EQ(roamingAppDataFolder(), "");
}

TEST_F(PathsTest, SystemAndWindowsFoldersLiveUnderXdgDataAndExist) {
  EXPECT_EQ(systemFolder(), home() + "/.local/share/VMIZentro/System");
  EXPECT_EQ(windowsFolder(), home() + "/.local/share/VMIZentro/Windows");

  env_.set("XDG_DATA_HOME", dir_.file("data"));
  EXPECT_EQ(systemFolder(), dir_.file("data/VMIZentro/System"));
  EXPECT_EQ(windowsFolder(), dir_.file("data/VMIZentro/Windows"));
  EXPECT_TRUE(fs::is_directory(dir_.file("data/VMIZentro/System")));
  EXPECT_TRUE(fs::is_directory(dir_.file("data/VMIZentro/Windows/Fonts")));
}

TEST_F(PathsTest, ProgramFolderAndNameComeFromTheRunningExecutable) {
  fs::path exe = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(programFolder(), exe.parent_path().string());
  EXPECT_EQ(programBaseName(), "test_platform");
  EXPECT_TRUE(fs::is_directory(programFolder()));
}

TEST_F(PathsTest, TempPathHasNoTrailingSlash) {
  env_.set("TMPDIR", dir_.str() + "//");
  EXPECT_EQ(tempPath(), dir_.str());
  env_.unset("TMPDIR");
  EXPECT_EQ(tempPath(), "/tmp");
}

TEST_F(PathsTest, FullPathNameResolvesAgainstTheCurrentFolder) {
  std::string before = fs::current_path().string();
  ASSERT_EQ(::chdir(dir_.str().c_str()), 0);
  std::string cwd = fs::current_path().string();
  EXPECT_EQ(fullPathName("a/../b/./c.txt"), cwd + "/b/c.txt");
  EXPECT_EQ(fullPathName("/x/y/../z"), "/x/z");
  EXPECT_EQ(fullPathName(""), "");
  ASSERT_EQ(::chdir(before.c_str()), 0);
}

TEST_F(PathsTest, CreateFolderMakesOneLevelOnly) {
  const std::string level1 = dir_.file("one");
  EXPECT_TRUE(createFolder(level1));
  EXPECT_TRUE(fs::is_directory(level1));
  EXPECT_FALSE(createFolder(level1)) << "an existing folder is reported as not created";
  EXPECT_FALSE(createFolder(dir_.file("missing/two"))) << "parent missing";
  EXPECT_FALSE(fs::exists(dir_.file("missing")));
  EXPECT_FALSE(createFolder(""));
}

}  // namespace
}  // namespace zentro::platform
