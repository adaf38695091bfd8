#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

constexpr char kApp[] = "VMIZentro";
constexpr char kSection[] = "LoginInfo";

class SettingsStoreTest : public ::testing::Test {
 protected:
  SettingsStoreTest() { env_.set("XDG_CONFIG_HOME", dir_.file("config")); }
  std::string iniFile() const { return dir_.file("config/VMIZentro/VMIZentro.ini"); }

  zentro::testing::TempDir dir_;
  zentro::testing::ScopedEnv env_;
};

TEST_F(SettingsStoreTest, MissingKeysGiveTheDefault) {
  EXPECT_EQ(getSetting(kApp, kSection, "Remember", "0"), "0");
  EXPECT_EQ(getSetting(kApp, kSection, "Login", ""), "");
}

TEST_F(SettingsStoreTest, ValuesRoundTripThroughTheIniFile) {
  saveSetting(kApp, kSection, "FilerCode", "ABC");
  saveSetting(kApp, kSection, "Login", "jdoe, Jr. = \"x\"");
  saveSetting(kApp, kSection, "Password", "");
  saveSetting(kApp, kSection, "Remember", "1");

  ASSERT_TRUE(std::filesystem::is_regular_file(iniFile()));
  const std::string ini = zentro::testing::readFile(iniFile());
  EXPECT_NE(ini.find("[LoginInfo]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("FilerCode=ABC"), std::string::npos) << ini;

  EXPECT_EQ(getSetting(kApp, kSection, "FilerCode", "-"), "ABC");
  EXPECT_EQ(getSetting(kApp, kSection, "Login", "-"), "jdoe, Jr. = \"x\"");
  // An empty stored value is a value, not a missing key.
  EXPECT_EQ(getSetting(kApp, kSection, "Password", "-"), "");
  EXPECT_EQ(getSetting(kApp, kSection, "Remember", "0"), "1");
  // Sections are separate.
  EXPECT_EQ(getSetting(kApp, "Other", "FilerCode", "none"), "none");

  saveSetting(kApp, kSection, "FilerCode", "");
  EXPECT_EQ(getSetting(kApp, kSection, "FilerCode", "-"), "");
}

TEST_F(SettingsStoreTest, FollowsAChangedConfigFolder) {
  saveSetting(kApp, kSection, "FilerCode", "FIRST");
  env_.set("XDG_CONFIG_HOME", dir_.file("second"));
  EXPECT_EQ(getSetting(kApp, kSection, "FilerCode", "none"), "none");
  saveSetting(kApp, kSection, "FilerCode", "SECOND");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.file("second/VMIZentro/VMIZentro.ini")));
  EXPECT_EQ(zentro::testing::readFile(iniFile()).find("SECOND"), std::string::npos);
}

TEST_F(SettingsStoreTest, HandEditedValuesReadBackAsWritten) {
  dir_.write("config/VMIZentro/VMIZentro.ini", "[LoginInfo]\nLogin=smith, anna\nFilerCode=XYZ\n");
  EXPECT_EQ(getSetting(kApp, kSection, "Login", ""), "smith, anna");
  EXPECT_EQ(getSetting(kApp, kSection, "FilerCode", ""), "XYZ");
}

}  // namespace
}  // namespace zentro::platform
