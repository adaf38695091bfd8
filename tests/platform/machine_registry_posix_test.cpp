// The Linux machine hive as a file: its text, planted links, unusable key paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/machine_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

constexpr char kKey[] = "SOFTWARE\\Pellworth\\Velmora";

class MachineHiveFileTest : public ::testing::Test {
 protected:
  MachineHiveFileTest() { env_.set("ZENTRO_MACHINE_HIVE", hive_); }
  zentro::testing::TempDir dir_;
  std::string hive_ = dir_.file("hive/machine-hive.ini");
  zentro::testing::ScopedEnv env_;
};

TEST_F(MachineHiveFileTest, KeepsOneLinePerValueAndReplacesPlantedLinks) {
  ASSERT_TRUE(createMachineKey(kKey));
  ASSERT_TRUE(writeMachineString(kKey, "Corvale Font A.ttf", "A.ttf"));
  ASSERT_TRUE(writeMachineString("software\\PELLWORTH\\velmora\\", "corvale font a.TTF", "B.ttf"));
  std::string text = zentro::testing::readFile(hive_);
  EXPECT_NE(text.find("[SOFTWARE\\Pellworth\\Velmora]\nCorvale Font A.ttf=B.ttf\n"),
            std::string::npos)
      << text;
  // A link planted at the temporary name of the next write is replaced, never written through.
  const std::string victim = dir_.write("victim", "precious");
  std::filesystem::create_symlink(victim, hive_ + ".tmp." + std::to_string(::getpid()));
  EXPECT_TRUE(createMachineKey(kKey));
  EXPECT_TRUE(writeMachineString(kKey, "Name", "again"));
  EXPECT_EQ(readMachineString(kKey, "Name"), "again");
  EXPECT_EQ(zentro::testing::readFile(victim), "precious");
}

TEST_F(MachineHiveFileTest, UnusableKeyPaths) {
  for (const char* key : {"", "\\\\", "A]B", "A\nB"}) EXPECT_FALSE(createMachineKey(key)) << key;
  env_.set("ZENTRO_MACHINE_HIVE", dir_.write("file", "x") + "/below-a-file.ini");
  EXPECT_FALSE(createMachineKey(kKey));
}

}  // namespace
}  // namespace zentro::platform
