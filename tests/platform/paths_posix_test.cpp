// The Linux stand-ins for the system's folders: the XDG folders below the home folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;

class XdgFoldersTest : public ::testing::Test {
 protected:
  XdgFoldersTest() {
    env_.set("HOME", home_);
    env_.unset("XDG_CONFIG_HOME");
    env_.unset("XDG_DATA_HOME");
  }
  zentro::testing::TempDir dir_;
  const std::string home_ = dir_.file("home");
  zentro::testing::ScopedEnv env_;
};

TEST_F(XdgFoldersTest, RoamingFolderDefaultsUnderHomeAndIsCreated) {
  EXPECT_EQ(roamingAppDataFolder(), home_ + "/.config");
  EXPECT_TRUE(fs::is_directory(home_ + "/.config"));
  env_.set("XDG_CONFIG_HOME", dir_.file("cfg/deep"));
  EXPECT_EQ(roamingAppDataFolder(), dir_.file("cfg/deep"));
  EXPECT_TRUE(fs::is_directory(dir_.file("cfg/deep")));
  // A relative XDG value is invalid and ignored.
  env_.set("XDG_CONFIG_HOME", "relative/cfg");
  EXPECT_EQ(roamingAppDataFolder(), home_ + "/.config");
  // Empty when it cannot be created.
  env_.set("XDG_CONFIG_HOME", dir_.write("blocker", "a file where a folder should go") + "/cfg");
  EXPECT_EQ(roamingAppDataFolder(), "");
}

TEST_F(XdgFoldersTest, SystemWindowsAndTempFolders) {
  EXPECT_EQ(systemFolder(), home_ + "/.local/share/VMIZentro/System");
  EXPECT_EQ(windowsFolder(), home_ + "/.local/share/VMIZentro/Windows");
  env_.set("XDG_DATA_HOME", dir_.file("data"));
  EXPECT_EQ(systemFolder(), dir_.file("data/VMIZentro/System"));
  EXPECT_EQ(windowsFolder(), dir_.file("data/VMIZentro/Windows"));
  EXPECT_TRUE(fs::is_directory(dir_.file("data/VMIZentro/System")));
  EXPECT_TRUE(fs::is_directory(dir_.file("data/VMIZentro/Windows/Fonts")));
  env_.unset("TMPDIR");
  EXPECT_EQ(tempPath(), "/tmp");
}

}  // namespace
}  // namespace zentro::platform
