// The local configuration file: missing or broken, first row wins, admins, apostrophes, blanks.
#include "app/config.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/app_fixture.h"

namespace zentro {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  Table Load(const std::string& rows) {
    dir.write(kConfigFileName, testing::configXml(rows));
    return loadConfigTable(dir.str());
  }
  testing::TempDir dir;
};

TEST_F(ConfigTest, AMissingOrBrokenFileGivesAnEmptyTableWithTheTwoFields) {
  Table t = loadConfigTable(dir.str());
  EXPECT_EQ(t.recordCount(), 0);
  ASSERT_EQ(t.fields().size(), 2u);
  EXPECT_EQ(t.fields()[0].name, "PropName");
  EXPECT_EQ(t.fields()[0].definedSize, 255);
  EXPECT_EQ(t.fields()[1].definedSize, 4000);
  EXPECT_EQ(GetConfigValue(t, "BaseURL"), "");
  EXPECT_FALSE(IsUpdateAdminLogin(t, "ADMIN1"));

  // A malformed file reads like a missing one.
  dir.write(kConfigFileName, "<xml><s:Schema");
  EXPECT_EQ(loadConfigTable(dir.str()).recordCount(), 0);

  // Only a regular file up to 16 MiB is read: a larger one, well formed or not, is broken,
  // and so is a link to a device that would read without end.
  dir.write(kConfigFileName, testing::configXml("<z:row PropName='BaseURL' PropValue='x'/>\n") +
                                 std::string(16u << 20, ' '));
  EXPECT_EQ(loadConfigTable(dir.str()).recordCount(), 0);
  std::filesystem::remove(dir.file(kConfigFileName));
  std::error_code ec;
  std::filesystem::create_symlink("/dev/zero", dir.file(kConfigFileName), ec);
  if (!ec) {
    EXPECT_EQ(loadConfigTable(dir.str()).recordCount(), 0);
  }
}

TEST_F(ConfigTest, ValuesAreTrimmedFirstRowWinsAndNamesIgnoreCase) {
  Table t = Load(
      "<z:row PropName='RunFromTemp' PropValue='  true  '/>\n"
      "<z:row PropName='BaseURL' PropValue='https://first.example/cvbo'/>\n"
      "<z:row PropName='BaseURL' PropValue='https://second.example/cvbo'/>\n"
      "<z:row PropName='WarnIfUpdates'/>\n"
      "<z:row PropName='It&apos;s' PropValue='quoted'/>\n");
  EXPECT_EQ(GetConfigValue(t, "RunFromTemp"), "true");
  EXPECT_EQ(GetConfigValue(t, "BaseURL"), "https://first.example/cvbo");
  EXPECT_EQ(GetConfigValue(t, "baseurl"), "https://first.example/cvbo");
  EXPECT_EQ(GetConfigValue(t, "WarnIfUpdates"), "") << "a NULL value reads as empty";
  EXPECT_EQ(GetConfigValue(t, "It's"), "quoted");
  EXPECT_EQ(GetConfigValue(t, ""), "");
  // Lookups leave the table unfiltered.
  EXPECT_EQ(t.filter(), "");
  EXPECT_EQ(t.recordCount(), 5);
}

TEST_F(ConfigTest, UpdateAdministratorsAreAllConsulted) {
  Table t = Load(
      "<z:row PropName='UPDATEADMINLOGIN' PropValue='ADMIN1'/>\n"
      "<z:row PropName='BaseURL' PropValue='ADMIN3'/>\n"
      "<z:row PropName='UPDATEADMINLOGIN' PropValue='ADMIN2'/>\n"
      "<z:row PropName='UPDATEADMINLOGIN' PropValue='O&apos;NEIL'/>\n");
  EXPECT_TRUE(IsUpdateAdminLogin(t, "ADMIN2"));
  EXPECT_TRUE(IsUpdateAdminLogin(t, "admin1"));
  EXPECT_FALSE(IsUpdateAdminLogin(t, "ADMIN3")) << "only UPDATEADMINLOGIN rows count";
  EXPECT_FALSE(IsUpdateAdminLogin(t, "   "));
  EXPECT_TRUE(IsUpdateAdminLogin(t, "O'NEIL"));
  EXPECT_EQ(t.filter(), "");
}

}  // namespace
}  // namespace zentro
