// The machine registry (HKEY_LOCAL_MACHINE) through the platform layer and the installer's
// ReadRegistryValue/WriteRegistryValue, checked against the registry itself.
#include <gtest/gtest.h>

#include "installer/registry_values.h"
#include "platform/machine_registry.h"
#include "tests/win32/win32_test_support.h"

namespace zentro {
namespace {

constexpr char kTestParent[] = "SOFTWARE\\VMIZentroTests";

std::string rawValue(const std::string& key, const std::string& name) {
  char buffer[256] = {};
  DWORD size = sizeof buffer;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer,
                   &size) != ERROR_SUCCESS) {
    return "<missing>";
  }
  return buffer;
}

TEST(MachineRegistryTest, StringValuesRoundTripThroughTheRealHive) {
  testing::ScratchKey key(HKEY_LOCAL_MACHINE, kTestParent);
  // The launcher never creates keys: a missing one refuses the write and stays missing.
  EXPECT_FALSE(platform::writeMachineString(key.path(), "Corvale Font a.ttf", "a.ttf"));
  EXPECT_EQ(rawValue(key.path(), "Corvale Font a.ttf"), "<missing>");
  EXPECT_FALSE(platform::readMachineString(key.path(), "Corvale Font a.ttf").has_value());

  ASSERT_TRUE(platform::createMachineKey(key.path() + "\\Fonts"));
  const std::string fonts = key.path() + "\\Fonts";
  EXPECT_TRUE(WriteRegistryValue(fonts, "Corvale Font a.ttf", "a.ttf"));
  EXPECT_EQ(rawValue(fonts, "Corvale Font a.ttf"), "a.ttf");
  EXPECT_EQ(ReadRegistryValue(fonts, "Corvale Font a.ttf"), "a.ttf");
  // Names are matched as the registry does, without regard to case; writing again replaces.
  EXPECT_TRUE(WriteRegistryValue(fonts, "CORVALE FONT A.TTF", "b.ttf"));
  EXPECT_EQ(ReadRegistryValue(fonts, "corvale font a.ttf"), "b.ttf");
  EXPECT_EQ(ReadRegistryValue(fonts, "Missing"), "");
  EXPECT_EQ(ReadRegistryValue(key.path() + "\\NoSuchKey", "x"), "");
}

TEST(MachineRegistryTest, ReadsStopAtTheFiftyByteBuffer) {
  testing::ScratchKey key(HKEY_LOCAL_MACHINE, kTestParent);
  ASSERT_TRUE(platform::createMachineKey(key.path()));
  const std::string fits(49, 'v');
  const std::string tooLong(50, 'v');
  ASSERT_TRUE(WriteRegistryValue(key.path(), "fits", fits));
  ASSERT_TRUE(WriteRegistryValue(key.path(), "tooLong", tooLong));
  EXPECT_EQ(ReadRegistryValue(key.path(), "fits"), fits);
  EXPECT_EQ(ReadRegistryValue(key.path(), "tooLong"), "");
  // The platform layer itself returns the whole text; the limit is the installer's.
  EXPECT_EQ(platform::readMachineString(key.path(), "tooLong").value_or(""), tooLong);
}

TEST(MachineRegistryTest, AValueOfAnotherTypeReadsAsItsBytes) {
  testing::ScratchKey key(HKEY_LOCAL_MACHINE, kTestParent);
  ASSERT_TRUE(platform::createMachineKey(key.path()));
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.path().c_str(), 0, KEY_SET_VALUE, &h),
            ERROR_SUCCESS);
  const char text[] = "4.0.1.0";
  RegSetValueExA(h, "expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(h);
  EXPECT_EQ(ReadRegistryValue(key.path(), "expand"), "4.0.1.0");
}

}  // namespace
}  // namespace zentro
