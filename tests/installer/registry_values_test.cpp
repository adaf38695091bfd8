#include "installer/registry_values.h"

#include <gtest/gtest.h>

#include "platform/machine_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro {
namespace {

// A value that does not fit the fifty-byte buffer, like a missing one, reads as "".
TEST(RegistryValues, ReadsWhatFitsTheFiftyByteBuffer) {
  zentro::testing::TempDir dir;
  zentro::testing::ScopedUserProfile profile(dir.file("profile"));
  // A key of this test's own, with a name like those the installer reads.
  const std::string key = profile.scratchMachineKey() + "\\Fonts";
  EXPECT_FALSE(WriteRegistryValue(key, "Fits", "key missing"));
  ASSERT_TRUE(platform::createMachineKey(key));
  const std::string fits(49, 'a');
  const std::string tooLong(50, 'b');
  ASSERT_TRUE(WriteRegistryValue(key, "Fits", fits));
  ASSERT_TRUE(WriteRegistryValue(key, "TooLong", tooLong));
  EXPECT_EQ(ReadRegistryValue(key, "Fits"), fits);
  EXPECT_EQ(ReadRegistryValue(key, "TooLong"), "");
  EXPECT_EQ(ReadRegistryValue(key, "Missing"), "");
  EXPECT_EQ(ReadRegistryValue(key + "\\Missing", "Fits"), "");
  // Written in full all the same; only the reading buffer is small.
  EXPECT_EQ(platform::readMachineString(key, "TooLong"), tooLong);
}

}  // namespace
}  // namespace zentro
