// The per-user settings store at its Windows home, HKEY_CURRENT_USER\Software\VB and VBA
// Program Settings\<application>\<section>.
#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include "tests/win32/win32_test_support.h"

namespace zentro::platform {
namespace {

constexpr char kStoreRoot[] = "Software\\VB and VBA Program Settings";
constexpr char kSection[] = "LoginInfo";

class SettingsStoreWinTest : public ::testing::Test {
 protected:
  // A fresh application name per test, removed afterwards with everything below it.
  testing::ScratchKey app_{HKEY_CURRENT_USER, kStoreRoot};
  std::string appName() const { return app_.path().substr(app_.path().rfind('\\') + 1); }
  std::string stored(const std::string& key) const {
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    std::string path = app_.path() + "\\" + kSection;
    if (RegGetValueA(HKEY_CURRENT_USER, path.c_str(), key.c_str(), RRF_RT_REG_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS) {
      return "<missing>";
    }
    return buffer;
  }
};

TEST_F(SettingsStoreWinTest, ValuesLandInTheUsersRegistryAndReadBack) {
  EXPECT_EQ(getSetting(appName(), kSection, "Remember", "0"), "0");
  saveSetting(appName(), kSection, "FilerCode", "ABC");
  saveSetting(appName(), kSection, "Login", "jdoe, Jr. = \"x\"");
  saveSetting(appName(), kSection, "Password", "");
  saveSetting(appName(), kSection, "Remember", "1");

  EXPECT_EQ(stored("FilerCode"), "ABC");
  EXPECT_EQ(stored("Login"), "jdoe, Jr. = \"x\"");
  EXPECT_EQ(stored("Password"), "");
  EXPECT_EQ(stored("Remember"), "1");
  EXPECT_EQ(getSetting(appName(), kSection, "Login", "-"), "jdoe, Jr. = \"x\"");
  // An empty stored value is a value, not a missing one.
  EXPECT_EQ(getSetting(appName(), kSection, "Password", "default"), "");
  EXPECT_EQ(getSetting(appName(), kSection, "Missing", "default"), "default");
  EXPECT_EQ(getSetting(appName(), "OtherSection", "FilerCode", "none"), "none");
}

TEST_F(SettingsStoreWinTest, TextIsStoredAsTheCharactersItSpells) {
  // The program's texts are UTF-8 and its manifest (shared by this test program) makes UTF-8
  // the code page of the 8-bit calls, so other programs read the same characters.
  const std::string text = "M\xC3\xBCller \xE2\x82\xAC";  // "Müller €"
  saveSetting(appName(), kSection, "Login", text);
  EXPECT_EQ(getSetting(appName(), kSection, "Login", ""), text);
  wchar_t wide[64] = {};
  DWORD size = sizeof wide;
  std::string path = app_.path() + "\\" + kSection;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, path.c_str(), "Login", RRF_RT_REG_SZ, nullptr, nullptr,
                         nullptr), ERROR_SUCCESS);
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &h), ERROR_SUCCESS);
  LONG rc = RegQueryValueExW(h, L"Login", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size);
  RegCloseKey(h);
  ASSERT_EQ(rc, ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(wide), L"M\u00FCller \u20AC");
}

}  // namespace
}  // namespace zentro::platform
