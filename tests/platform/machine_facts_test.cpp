// Machine facts (folders and paths, the machine report's figures, the program's own facts),
// one contract for both systems; machine_facts_posix_test.cpp (the XDG folders, /proc) and
// tests/win32/machine_facts_test.cpp (the system folders) hold the rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "platform/machine_info.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;
using zentro::testing::kWindows;

class PathsTest : public ::testing::Test {
 protected:
  std::string in(const std::string& name) const { return joinPath(dir_.str(), name); }
  zentro::testing::TempDir dir_;
  const std::string sep_{pathSeparator()};
};

TEST_F(PathsTest, JoinsAndCreatesFoldersOneLevelAtATime) {
  EXPECT_EQ(pathSeparator(), kWindows ? '\\' : '/');
  // Plain concatenation: an empty part leaves an empty level, as the program builds paths.
  EXPECT_EQ(joinPath(joinPath("p", ""), "d.txt"), "p" + sep_ + sep_ + "d.txt");

  const std::string level1 = in("Velmora");
  EXPECT_FALSE(createFolder(joinPath(level1, "Velmora Zentro"))) << "parent missing";
  EXPECT_FALSE(fs::exists(pathFromUtf8(level1)));
  EXPECT_TRUE(createFolder(level1));
  EXPECT_FALSE(createFolder(level1)) << "an existing folder is reported as not created";
  EXPECT_TRUE(createFolder(joinPath(level1, "Velmora Zentro")));
  EXPECT_FALSE(createFolder(""));
  // Any character in a folder's name: created as spelt, and found again.
  const std::string other = in("Zentro Pr\xC3\xBC" "fung \xC3\x9F \xD0\x96");
  EXPECT_TRUE(createFolder(other));
  EXPECT_TRUE(fs::is_directory(pathFromUtf8(other)));

  EXPECT_EQ(fullPathName(other + sep_ + ".." + sep_ + "Velmora" + sep_ + "." + sep_ + "x.txt"),
            joinPath(level1, "x.txt"));
  EXPECT_EQ(fullPathName(""), "");
  // Relative paths resolve against the current folder.
  const fs::path before = fs::current_path();
  fs::current_path(pathFromUtf8(other));
  const std::string cwd = utf8FromPath(fs::current_path());
  EXPECT_EQ(fullPathName("a" + sep_ + ".." + sep_ + "b"), joinPath(cwd, "b"));
  fs::current_path(before);
}

TEST_F(PathsTest, ProgramTempAndRoamingFolders) {
  EXPECT_EQ(programBaseName(), "test_platform");
  EXPECT_TRUE(fs::is_regular_file(
      pathFromUtf8(joinPath(programFolder(), programBaseName() + (kWindows ? ".exe" : "")))));

  zentro::testing::ScopedEnv env;
  env.setTempFolder(dir_.str() + sep_ + sep_);
  EXPECT_EQ(tempPath(), dir_.str()) << "no trailing separator";

  zentro::testing::ScopedUserProfile profile(in("profile"));
  EXPECT_EQ(roamingAppDataFolder(), joinPath(in("profile"), "config"));
}

TEST(MachineInfoTest, AddressTableMemoryAndVersionWord) {
  auto table = ipv4AddressTable();
  ASSERT_TRUE(table.has_value());
  EXPECT_TRUE(std::is_sorted(table->begin(), table->end()));
  EXPECT_NE(std::find(table->begin(), table->end(), 0x7F000001u), table->end())
      << "127.0.0.1 in host order, first number in the top byte";

  auto m = memoryStatus();
  ASSERT_TRUE(m.has_value());
  EXPECT_LE(m->memoryLoad, 100u);
  EXPECT_GT(m->totalPhys, 0u);
  EXPECT_LE(m->availPhys, m->totalPhys);
  EXPECT_GT(m->totalVirtual, 0u);
  EXPECT_LE(m->availVirtual, m->totalVirtual);

  const std::uint32_t word = osVersionWord();
  EXPECT_EQ(word & 0x80000000u, 0u) << "the NT family";
  EXPECT_GE(word & 0xFFu, 2u) << "major version in the low byte";
}

TEST(ProgramInfo, LocalTimeStampHasFourteenDigitsOfAPlausibleDate) {
  // Year (2024 on), month, day, hour, minute and second.
  const std::regex plausible("20(2[4-9]|[3-9][0-9])(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])"
                             "([01][0-9]|2[0-3])([0-5][0-9]){2}");
  EXPECT_TRUE(std::regex_match(localTimeStamp(), plausible)) << localTimeStamp();
}

}  // namespace
}  // namespace zentro::platform
