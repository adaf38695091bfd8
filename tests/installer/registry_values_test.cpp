#include "installer/registry_values.h"

#include <gtest/gtest.h>

#include "platform/machine_registry.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

constexpr char kKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class RegistryValuesTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.set("ZENTRO_MACHINE_HIVE", dir_.file("machine-hive.ini")); }
  zentro::testing::TempDir dir_;
  zentro::testing::ScopedEnv env_;
};

TEST_F(RegistryValuesTest, ReadsWhatFitsTheFiftyByteBuffer) {
  ASSERT_TRUE(platform::createMachineKey(kKey));
  const std::string fits(49, 'a');
  const std::string tooLong(50, 'b');
  ASSERT_TRUE(WriteRegistryValue(kKey, "Fits", fits));
  ASSERT_TRUE(WriteRegistryValue(kKey, "TooLong", tooLong));
  EXPECT_EQ(ReadRegistryValue(kKey, "Fits"), fits);
  EXPECT_EQ(ReadRegistryValue(kKey, "TooLong"), "");
  // Written in full all the same; only the reading buffer is small.
  EXPECT_EQ(platform::readMachineString(kKey, "TooLong"), tooLong);
}

TEST_F(RegistryValuesTest, MissingKeysAndValues) {
  EXPECT_EQ(ReadRegistryValue(kKey, "Corvale Font a.ttf"), "");
  EXPECT_FALSE(WriteRegistryValue(kKey, "Corvale Font a.ttf", "a.ttf"));
  EXPECT_EQ(ReadRegistryValue(kKey, "Corvale Font a.ttf"), "");

  ASSERT_TRUE(platform::createMachineKey(kKey));
  EXPECT_EQ(ReadRegistryValue(kKey, "Corvale Font a.ttf"), "");
  EXPECT_TRUE(WriteRegistryValue(kKey, "Corvale Font a.ttf", "a.ttf"));
  // Key paths and value names match without regard to case, as the registry's do.
  EXPECT_EQ(ReadRegistryValue("software\\microsoft\\windows nt\\currentversion\\fonts",
                              "corvale font A.TTF"),
            "a.ttf");
}

}  // namespace
}  // namespace zentro
