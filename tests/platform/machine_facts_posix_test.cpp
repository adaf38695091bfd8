// The Linux sources of the machine facts: the XDG folders below the home folder, /proc/meminfo,
// the address-space limit, the locale that names the thousands separator.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/machine_info.h"
#include "platform/number_format.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

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

TEST(MachineInfoPosixTest, MemoryFiguresComeFromMeminfoAndTheLimits) {
  auto m = memoryStatus();
  ASSERT_TRUE(m.has_value());
  // /proc/meminfo counts kB; the record holds bytes, all bits set when they do not fit.
  std::ifstream in("/proc/meminfo");
  std::string name, unit;
  std::uint64_t kib = 0;
  ASSERT_TRUE(in >> name >> kib >> unit);
  ASSERT_EQ(name, "MemTotal:");
  EXPECT_EQ(m->totalPhys, std::min<std::uint64_t>(kib * 1024, UINT32_MAX));
  // Without an address-space limit the process has far more than 4 GiB of it.
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur == RLIM_INFINITY) {
    EXPECT_EQ(m->totalVirtual, UINT32_MAX);
    EXPECT_EQ(m->availVirtual, UINT32_MAX);
  }
}

// The user's thousands separator comes from the locale the environment names for numbers.
TEST(MachineInfoPosixTest, ThousandsSeparatorFollowsTheNumbersLocale) {
  zentro::testing::ScopedEnv env;
  env.unset("LC_ALL");
  env.set("LC_NUMERIC", "de_DE.UTF-8");
  EXPECT_EQ(thousandsSeparator(), ".") << "needs the de_DE.UTF-8 locale (scripts/setup.sh)";
  env.set("LC_NUMERIC", "fr_FR.UTF-8");
  EXPECT_EQ(thousandsSeparator(), "\xE2\x80\xAF");  // a narrow no-break space, as UTF-8
  env.set("LC_ALL", "C.UTF-8");  // outranks LC_NUMERIC, and names no separator
  EXPECT_EQ(thousandsSeparator(), ",");
  env.set("LC_ALL", "xx_NOWHERE.UTF-8");  // not installed
  EXPECT_EQ(thousandsSeparator(), ",");
}

}  // namespace
}  // namespace zentro::platform
