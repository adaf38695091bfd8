// The machine registry (HKEY_LOCAL_MACHINE) through the platform layer and the installer's
// ReadRegistryValue/WriteRegistryValue, checked against the registry itself. The launcher
// works in the 32-bit view, where the 32-bit installers of its deployments write.
#include <gtest/gtest.h>

#include "installer/registry_values.h"
#include "platform/machine_registry.h"
#include "tests/win32/win32_test_support.h"

namespace zentro {
namespace {

using testing::kNonAscii;
using testing::ScratchKey;
using testing::storedString;

constexpr char kTestParent[] = "SOFTWARE\\VMIZentroTests";

std::string raw32(const std::string& key, const std::string& name) {
  return storedString(HKEY_LOCAL_MACHINE, key, name, KEY_WOW64_32KEY);
}

TEST(MachineRegistryTest, StringValuesRoundTripThroughTheRealHive) {
  ScratchKey key(HKEY_LOCAL_MACHINE, kTestParent, KEY_WOW64_32KEY);
  // The launcher never creates keys: a missing one refuses the write and stays missing.
  EXPECT_FALSE(platform::writeMachineString(key.path(), "Corvale Font a.ttf", "a.ttf"));
  EXPECT_EQ(raw32(key.path(), "Corvale Font a.ttf"), "<missing>");
  EXPECT_FALSE(platform::readMachineString(key.path(), "Corvale Font a.ttf").has_value());

  ASSERT_TRUE(platform::createMachineKey(key.path() + "\\Fonts"));
  const std::string fonts = key.path() + "\\Fonts";
  EXPECT_TRUE(WriteRegistryValue(fonts, "Corvale Font a.ttf", "a.ttf"));
  EXPECT_EQ(raw32(fonts, "Corvale Font a.ttf"), "a.ttf");
  EXPECT_EQ(ReadRegistryValue(fonts, "Corvale Font a.ttf"), "a.ttf");
  // Names are matched as the registry does, without regard to case; writing again replaces.
  EXPECT_TRUE(WriteRegistryValue(fonts, "CORVALE FONT A.TTF", "b.ttf"));
  EXPECT_EQ(ReadRegistryValue(fonts, "corvale font a.ttf"), "b.ttf");
  EXPECT_EQ(ReadRegistryValue(fonts, "Missing"), "");
  EXPECT_EQ(ReadRegistryValue(key.path() + "\\NoSuchKey", "x"), "");

  // Key, value name and text keep every character (the 8-bit calls would lose the Cyrillic
  // one to the code page and misread the UTF-8 bytes of the others).
  const std::string wide = key.path() + "\\" + kNonAscii;
  ASSERT_TRUE(platform::createMachineKey(wide));
  EXPECT_TRUE(WriteRegistryValue(wide, kNonAscii, kNonAscii));
  EXPECT_EQ(raw32(wide, kNonAscii), kNonAscii);
  EXPECT_EQ(ReadRegistryValue(wide, kNonAscii), kNonAscii);
}

TEST(MachineRegistryTest, ValuesOfThirtyTwoBitInstallersAreTheOnesRead) {
  ScratchKey key32(HKEY_LOCAL_MACHINE, kTestParent, KEY_WOW64_32KEY);
  // A 32-bit installer writes its version value; on 64-bit Windows it lands under WOW6432Node.
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, platform::win32::toWide(key32.path()).c_str(), 0,
                            nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  const wchar_t version[] = L"4.0.9756.0";
  RegSetValueExW(h, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version);
  RegCloseKey(h);
  const std::string physical = "SOFTWARE\\WOW6432Node" + key32.path().substr(8);
  EXPECT_EQ(storedString(HKEY_LOCAL_MACHINE, physical, "Version", KEY_WOW64_64KEY), "4.0.9756.0");
  EXPECT_EQ(ReadRegistryValue(key32.path(), "Version"), "4.0.9756.0");

  // A value only in the 64-bit view is not the 32-bit components' and is not seen.
  ScratchKey key64(HKEY_LOCAL_MACHINE, kTestParent, KEY_WOW64_64KEY);
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, platform::win32::toWide(key64.path()).c_str(), 0,
                            nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(h, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version);
  RegCloseKey(h);
  EXPECT_EQ(ReadRegistryValue(key64.path(), "Version"), "");
  EXPECT_FALSE(WriteRegistryValue(key64.path(), "Version", "5.0"));
}

TEST(MachineRegistryTest, AValueOfAnotherTypeReadsAsItsBytes) {
  ScratchKey key(HKEY_LOCAL_MACHINE, kTestParent, KEY_WOW64_32KEY);
  ASSERT_TRUE(platform::createMachineKey(key.path()));
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, platform::win32::toWide(key.path()).c_str(), 0,
                          KEY_SET_VALUE | KEY_WOW64_32KEY, &h),
            ERROR_SUCCESS);
  const wchar_t text[] = L"4.0.1.0";
  RegSetValueExW(h, L"expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(h);
  EXPECT_EQ(ReadRegistryValue(key.path(), "expand"), "4.0.1.0");
}

}  // namespace
}  // namespace zentro
