// The machine registry's 32-bit view, where the 32-bit installers of the launcher's
// deployments write; tests/platform/machine_registry_test.cpp holds the contract both systems
// share.
#include <windows.h>

#include <gtest/gtest.h>

#include "installer/registry_values.h"
#include "platform/machine_registry.h"
#include "platform/win32/text_convert_win.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro {
namespace {

using platform::win32::toWide;

// Writes a value of `type` past the program, creating the key in `view`.
void setRaw(const std::string& key, REGSAM view, DWORD type, const std::wstring& text) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, toWide(key).c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE | view, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(h, L"Version", 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

// A string value as stored, read past the program in `view`; "<missing>" when absent.
std::string stored(const std::string& key, const std::string& name, REGSAM view) {
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer;
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, toWide(key).c_str(), 0, KEY_QUERY_VALUE | view, &h)) {
    return "<missing>";
  }
  const LONG rc =
      RegGetValueW(h, nullptr, toWide(name).c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? platform::win32::fromWide(buffer) : "<missing>";
}

TEST(MachineRegistryWinTest, TheThirtyTwoBitViewIsTheOneReadAndWritten) {
  zentro::testing::TempDir dir;
  zentro::testing::ScopedUserProfile profile(dir.str());
  const std::string key32 = profile.scratchMachineKey(), key64 = profile.scratchMachineKey();
  // A 32-bit installer writes its version value (on 64-bit Windows, under WOW6432Node).
  setRaw(key32, KEY_WOW64_32KEY, REG_SZ, L"4.0.9756.0");
  EXPECT_EQ(ReadRegistryValue(key32, "Version"), "4.0.9756.0");
  EXPECT_TRUE(platform::writeMachineString(key32, "Written", "a.ttf"));
  EXPECT_EQ(stored(key32, "Written", KEY_WOW64_32KEY), "a.ttf");
  // A value of another type reads as its text.
  setRaw(key32, KEY_WOW64_32KEY, REG_EXPAND_SZ, L"4.0.1.0");
  EXPECT_EQ(ReadRegistryValue(key32, "Version"), "4.0.1.0");

  // A value only in the 64-bit view is not the 32-bit components' and is not seen.
  setRaw(key64, KEY_WOW64_64KEY, REG_SZ, L"4.0.9756.0");
  EXPECT_EQ(ReadRegistryValue(key64, "Version"), "");
  EXPECT_FALSE(WriteRegistryValue(key64, "Version", "5.0"));
}

}  // namespace
}  // namespace zentro
