#include "platform/machine_registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

constexpr char kKey[] = "SOFTWARE\\Pellworth\\Velmora";

class MachineRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.set("ZENTRO_MACHINE_HIVE", hive_); }
  zentro::testing::TempDir dir_;
  std::string hive_ = dir_.file("hive/machine-hive.ini");
  zentro::testing::ScopedEnv env_;
};

TEST_F(MachineRegistryTest, KeysMustExistBeforeValuesAreWritten) {
  EXPECT_FALSE(writeMachineString(kKey, "Name", "data"));
  EXPECT_EQ(readMachineString(kKey, "Name"), std::nullopt);

  ASSERT_TRUE(createMachineKey(kKey));
  // Parents come with it, as the registry creates them.
  EXPECT_TRUE(writeMachineString("SOFTWARE\\Pellworth", "Parent", "yes"));
  EXPECT_TRUE(writeMachineString(kKey, "Name", "data"));
  EXPECT_EQ(readMachineString(kKey, "Name"), "data");
  EXPECT_EQ(readMachineString(kKey, "Other"), std::nullopt);
  EXPECT_EQ(readMachineString("SOFTWARE\\Pellworth\\Other", "Name"), std::nullopt);
  // Creating it again changes nothing, and a link planted at the temporary name of the next
  // write is replaced, never written through.
  const std::string victim = dir_.write("victim", "precious");
  std::filesystem::create_symlink(victim, hive_ + ".tmp." + std::to_string(::getpid()));
  EXPECT_TRUE(createMachineKey(kKey));
  EXPECT_EQ(readMachineString(kKey, "Name"), "data");
  EXPECT_TRUE(writeMachineString(kKey, "Name", "again"));
  EXPECT_EQ(zentro::testing::readFile(victim), "precious");
}

TEST_F(MachineRegistryTest, MatchesWithoutCaseAndKeepsOneValuePerName) {
  ASSERT_TRUE(createMachineKey(kKey));
  ASSERT_TRUE(writeMachineString(kKey, "Corvale Font A.ttf", "A.ttf"));
  ASSERT_TRUE(writeMachineString("software\\PELLWORTH\\velmora\\", "corvale font a.TTF", "B.ttf"));
  EXPECT_EQ(readMachineString(kKey, "Corvale Font A.ttf"), "B.ttf");
  std::string text = zentro::testing::readFile(hive_);
  EXPECT_NE(text.find("[SOFTWARE\\Pellworth\\Velmora]\nCorvale Font A.ttf=B.ttf\n"),
            std::string::npos)
      << text;
}

TEST_F(MachineRegistryTest, AwkwardNamesAndDataSurviveTheFile) {
  ASSERT_TRUE(createMachineKey(kKey));
  const std::string names[] = {"a=b", "[section]", ";not a comment", "#hash", "50%", " padded "};
  const std::string data[] = {"x=y", "line\nbreak", "cr\rlf\r\n", "%41", "", " spaced "};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    ASSERT_TRUE(writeMachineString(kKey, names[i], data[i])) << names[i];
  }
  for (std::size_t i = 0; i < std::size(names); ++i) {
    EXPECT_EQ(readMachineString(kKey, names[i]), data[i]) << names[i];
  }
  // Nothing else appeared: a value of one key never turns into a key or a comment.
  EXPECT_EQ(readMachineString("section", "x"), std::nullopt);
}

TEST_F(MachineRegistryTest, UnusableKeyPaths) {
  EXPECT_FALSE(createMachineKey(""));
  EXPECT_FALSE(createMachineKey("\\\\"));
  EXPECT_FALSE(createMachineKey("A]B"));
  EXPECT_FALSE(createMachineKey("A\nB"));
  env_.set("ZENTRO_MACHINE_HIVE", dir_.write("file", "x") + "/below-a-file.ini");
  EXPECT_FALSE(createMachineKey(kKey));
}

}  // namespace
}  // namespace zentro::platform
