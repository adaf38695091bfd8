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
    return testing::storedString(HKEY_CURRENT_USER, app_.path() + "\\" + kSection, key);
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
  // Stored as the characters themselves (UTF-16), so other programs read them; the 8-bit calls
  // would store the UTF-8 bytes read in the code page instead.
  saveSetting(appName(), kSection, "Login", testing::kNonAscii);
  saveSetting(appName(), kSection, testing::kNonAscii, "1");
  EXPECT_EQ(getSetting(appName(), kSection, "Login", ""), testing::kNonAscii);
  EXPECT_EQ(getSetting(appName(), kSection, testing::kNonAscii, ""), "1");
  EXPECT_EQ(stored("Login"), testing::kNonAscii);
}

}  // namespace
}  // namespace zentro::platform
