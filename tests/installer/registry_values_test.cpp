#include "installer/registry_values.h"

#include <gtest/gtest.h>

#include <cctype>

#include "platform/machine_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro {
namespace {

class RegistryValuesTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  zentro::testing::ScopedUserProfile profile_{dir_.file("profile")};
  // A key of this test's own, with a name like those the installer reads.
  const std::string key_ = profile_.scratchMachineKey() + "\\Fonts";
};

TEST_F(RegistryValuesTest, ReadsWhatFitsTheFiftyByteBuffer) {
  ASSERT_TRUE(platform::createMachineKey(key_));
  const std::string fits(49, 'a');
  const std::string tooLong(50, 'b');
  ASSERT_TRUE(WriteRegistryValue(key_, "Fits", fits));
  ASSERT_TRUE(WriteRegistryValue(key_, "TooLong", tooLong));
  EXPECT_EQ(ReadRegistryValue(key_, "Fits"), fits);
  EXPECT_EQ(ReadRegistryValue(key_, "TooLong"), "");
  // Written in full all the same; only the reading buffer is small.
  EXPECT_EQ(platform::readMachineString(key_, "TooLong"), tooLong);
}

TEST_F(RegistryValuesTest, MissingKeysAndValues) {
  EXPECT_EQ(ReadRegistryValue(key_, "Corvale Font a.ttf"), "");
  EXPECT_FALSE(WriteRegistryValue(key_, "Corvale Font a.ttf", "a.ttf"));
  EXPECT_EQ(ReadRegistryValue(key_, "Corvale Font a.ttf"), "");

  ASSERT_TRUE(platform::createMachineKey(key_));
  EXPECT_EQ(ReadRegistryValue(key_, "Corvale Font a.ttf"), "");
  EXPECT_TRUE(WriteRegistryValue(key_, "Corvale Font a.ttf", "a.ttf"));
  // Key paths and value names match without regard to case, as the registry's do.
  std::string otherCase = key_;
  for (char& c : otherCase) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(ReadRegistryValue(otherCase, "corvale font A.TTF"), "a.ttf");
}

}  // namespace
}  // namespace zentro
