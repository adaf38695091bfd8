// The per-user settings store, one contract for both systems: Linux keeps it in an INI file
// under the XDG config folder, Windows in the user's registry (HKEY_CURRENT_USER\Software\VB
// and VBA Program Settings); storedSetting reads the system's store past the program.
#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

using zentro::testing::storedSetting;

constexpr char kApp[] = "VMIZentro";
constexpr char kSection[] = "LoginInfo";

class SettingsStoreTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  zentro::testing::ScopedUserProfile profile_{dir_.str()};
};

TEST_F(SettingsStoreTest, ValuesRoundTripThroughTheSystemsStore) {
  // Missing keys give the default.
  EXPECT_EQ(getSetting(kApp, kSection, "Remember", "0"), "0");
  EXPECT_EQ(getSetting(kApp, kSection, "Login", ""), "");
  saveSetting(kApp, kSection, "FilerCode", "ABC");
  saveSetting(kApp, kSection, "Login", "jdoe, Jr. = \"x\"");
  saveSetting(kApp, kSection, "Password", "");
  saveSetting(kApp, kSection, "Remember", "1");
  const std::string nonAscii = "M\xC3\xBCller \xE2\x82\xAC";  // "Müller €"
  saveSetting(kApp, "Other", "Name", nonAscii);

  // Where the system keeps them: a value, an empty value (not a missing one), and characters
  // stored as the ones they spell.
  EXPECT_EQ(storedSetting(kApp, kSection, "FilerCode"), "ABC");
  EXPECT_EQ(storedSetting(kApp, kSection, "Password"), "");
  EXPECT_EQ(storedSetting(kApp, "Other", "Name"), nonAscii);

  EXPECT_EQ(getSetting(kApp, kSection, "FilerCode", "-"), "ABC");
  EXPECT_EQ(getSetting(kApp, kSection, "Login", "-"), "jdoe, Jr. = \"x\"");
  EXPECT_EQ(getSetting(kApp, kSection, "Password", "-"), "");
  EXPECT_EQ(getSetting(kApp, kSection, "Remember", "0"), "1");
  EXPECT_EQ(getSetting(kApp, "Other", "Name", ""), nonAscii);
  // Sections are separate.
  EXPECT_EQ(getSetting(kApp, "Other", "FilerCode", "none"), "none");

  saveSetting(kApp, kSection, "FilerCode", "");
  EXPECT_EQ(getSetting(kApp, kSection, "FilerCode", "-"), "");
  // Values another program wrote read back.
  zentro::testing::writeStoredSetting(kApp, "Third", "Login", "smith, anna");
  EXPECT_EQ(getSetting(kApp, "Third", "Login", ""), "smith, anna");
}

TEST_F(SettingsStoreTest, FollowsAChangedConfigFolder) {
  if (zentro::testing::kWindows) GTEST_SKIP() << "Windows keeps the store in the registry";
  saveSetting(kApp, kSection, "FilerCode", "FIRST");
  zentro::testing::ScopedEnv env;
  env.set("XDG_CONFIG_HOME", dir_.file("second"));
  EXPECT_EQ(getSetting(kApp, kSection, "FilerCode", "none"), "none");
  saveSetting(kApp, kSection, "FilerCode", "SECOND");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.path() / "second/VMIZentro/VMIZentro.ini"));
  env.set("XDG_CONFIG_HOME", dir_.file("config"));
  EXPECT_EQ(storedSetting(kApp, kSection, "FilerCode"), "FIRST");
}

}  // namespace
}  // namespace zentro::platform
