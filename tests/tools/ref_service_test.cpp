// Round trips through the reference service on loopback: every member with the argument kinds
// the launcher uses, by-reference write-back, errors, the records and the log.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <regex>

#include "platform/http.h"
#include "platform/runtime_error.h"
#include "remote/ado_xml.h"
#include "remote/data_space.h"
#include "tests/support/ref_service_fixture.h"
#include "tools/refservice/business_objects.h"
#include "tools/refservice/install_files.h"

namespace zentro {
namespace {

using refservice::kGeneralProgId;
using refservice::kLoginProgId;
using testing::kDemoAlice;
using testing::kDemoAlicePassword;
using testing::kDemoBob;
using testing::kDemoFiler;

class RefServiceMembersTest : public testing::RefServiceTest {
 protected:
  void SetUp() override {
    ref.startFromFolder(testing::demoWorldDir(), testing::demoAppPath());
    http = platform::makeHttpClient();
    space = std::make_unique<DataSpace>(*http);
  }
  std::unique_ptr<ServiceObject> object(const char* progId, const std::string& url) {
    return space->createObject(progId, url);
  }
  std::string login(const std::string& url, const char* member = "LoginUser") {
    std::string filer = kDemoFiler, name = kDemoAlice, password = kDemoAlicePassword;
    auto o = object(kLoginProgId, url);
    return *o->invoke(member, {Arg::byRef(filer), Arg::byRef(name), Arg::byRef(password),
                               Arg::byVal(Value("127.0.0.1"))}).toText();
  }

  std::unique_ptr<platform::HttpClient> http;
  std::unique_ptr<DataSpace> space;
};

TEST_F(RefServiceMembersTest, LoginServersAndDeploymentsFollowTheLogin) {
  ref.expectCall(kLoginProgId, "GetLoginServersXML");
  ref.expectCall(kLoginProgId, "GetDeploymentsXML", 2);
  auto o = object(kLoginProgId, ref.baseUrl());
  // Upper-cased and trimmed by the launcher; the service tolerates blanks and case anyway.
  std::string filer = kDemoFiler, name = " bob ";
  const Value servers = o->invoke("GetLoginServersXML", {Arg::byRef(filer), Arg::byRef(name)});
  EXPECT_EQ(filer, kDemoFiler);  // in/out parameters come back unchanged
  EXPECT_EQ(name, " bob ");
  Table t = readAdoXml(*servers.toText());
  ASSERT_EQ(t.recordCount(), 2);
  t.moveFirst();  // in the world file's order
  EXPECT_EQ(*t.field("ServerName").toText(), "WEST");
  EXPECT_EQ(*t.field("BusObjURL").toText(), ref.serverUrl("WEST"));
  t.moveNext();
  EXPECT_EQ(*t.field("BusObjURL").toText(), ref.serverUrl("EAST"));

  Table bob = readAdoXml(*o->invoke("GetDeploymentsXML", {Arg::byRef(filer), Arg::byRef(name)}).toText());
  EXPECT_EQ(bob.recordCount(), 2);  // the pilot is ALICE's only
  std::string alice = kDemoAlice;
  Table all = readAdoXml(*o->invoke("GetDeploymentsXML", {Arg::byRef(filer), Arg::byRef(alice)}).toText());
  ASSERT_EQ(all.recordCount(), 3);
  ASSERT_TRUE(all.find("CVDeploymentID = 2"));
  EXPECT_EQ(all.field("CVDeploymentID").type(), ValueType::Int32);
  EXPECT_EQ(*all.field("DeploymentType").toText(), "CLIENT");
  EXPECT_EQ(all.field("InstallGroupID"), Value(std::int32_t{20}));
  EXPECT_TRUE(all.field("CustomInstallGroupID").isNull());
  EXPECT_EQ(*all.field("BusObjURL").toText(), ref.serverUrl("WEST"));
  EXPECT_EQ(*all.field("DeployFolder").toText(), "DemoClient");
  EXPECT_EQ(*all.field("checkForUpdates").toText(), "Y");

  std::string stranger = "MALLORY";
  Table none = readAdoXml(*o->invoke("GetLoginServersXML", {Arg::byRef(filer), Arg::byRef(stranger)}).toText());
  EXPECT_EQ(none.recordCount(), 0);
}

TEST_F(RefServiceMembersTest, IsValidLoginChecksPasswordServerAndClientFlag) {
  ref.expectCall(kLoginProgId, "isValidLogin", 5);
  auto east = object(kLoginProgId, ref.serverUrl("EAST"));
  auto west = object(kLoginProgId, ref.serverUrl("WEST"));
  bool autoFlag = true;
  auto valid = [&](ServiceObject& o, const char* filer, const char* password, bool isClient) {
    return *o.invoke("isValidLogin", {Arg::byVal(Value(filer)), Arg::byVal(Value(" ALICE")),
                                      Arg::byVal(Value(password)), Arg::byVal(Value(isClient)),
                                      Arg::byRef(autoFlag)}).toBool();
  };
  EXPECT_TRUE(valid(*east, " DEMO ", kDemoAlicePassword, false));
  EXPECT_FALSE(valid(*east, "DEMO", kDemoAlicePassword, true));  // no client deployment on EAST
  EXPECT_TRUE(valid(*west, "DEMO", kDemoAlicePassword, true));
  EXPECT_FALSE(valid(*east, "DEMO", "alice-demo ", false));      // passwords compare exactly
  EXPECT_FALSE(valid(*east, "OTHER", kDemoAlicePassword, false));
  EXPECT_TRUE(autoFlag);  // the by-reference flag came back as sent

  // The password never reaches the records.
  for (const auto& c : ref.service().calls()) {
    ASSERT_EQ(c.args.size(), 5u);
    EXPECT_EQ(*c.args[2].toText(), refservice::kMaskedSecret);
    EXPECT_EQ(c.args[3].type(), ValueType::Bool);
  }
}

TEST_F(RefServiceMembersTest, DeploymentMembersWorkWithTheIssuedToken) {
  ref.expectCall(kLoginProgId, "LoginUser");
  ref.expectCall(kGeneralProgId, "LoginUserHex");
  ref.expectCall(kLoginProgId, "GetUpdateInfoLastUpdate", 3);
  ref.expectCall(kLoginProgId, "GetInstallFilesByIDXML", 2);
  ref.expectCall(kLoginProgId, "WriteLoginNotes");
  std::string token = login(ref.serverUrl("EAST"));
  EXPECT_TRUE(std::regex_match(token, std::regex("[0-9A-F]{32}"))) << token;
  EXPECT_EQ(token, ref.service().lastTokenOf(kDemoFiler, kDemoAlice));
  EXPECT_FALSE(login(ref.serverUrl("WEST"), "LoginUserHex").empty());
  {
    std::string f = kDemoFiler, n = kDemoAlice, wrong = "nope";
    auto o = object(kGeneralProgId, ref.serverUrl("WEST"));
    EXPECT_EQ(*o->invoke("LoginUserHex", {Arg::byRef(f), Arg::byRef(n), Arg::byRef(wrong),
                                          Arg::byVal(Value(""))}).toText(), "");
  }

  auto o = object(kLoginProgId, ref.serverUrl("EAST"));
  auto lastUpdate = [&](std::string key) {
    return *o->invoke("GetUpdateInfoLastUpdate", {Arg::byRef(token), Arg::byRef(key)}).toText();
  };
  EXPECT_EQ(lastUpdate("INSTALL_12"), "2026-11-30T08:15:00");
  EXPECT_EQ(lastUpdate("INSTALL_20"), "");   // a group without a last update
  EXPECT_EQ(lastUpdate("INSTALL_999"), "");  // no such group

  Table list = readAdoXml(*o->invoke("GetInstallFilesByIDXML",
                                     {Arg::byRef(token), Arg::byVal(Value(std::int32_t{12})),
                                      Arg::byVal(Value(std::int32_t{15}))}).toText());
  const auto world = ref.service().world();
  const auto& g12 = world.groups.at(12).entries;
  const auto& g15 = world.groups.at(15).entries;
  ASSERT_EQ(static_cast<std::size_t>(list.recordCount()), g12.size() + g15.size());
  list.moveFirst();
  EXPECT_EQ(*list.field("FileName").toText(), g12.front().fileName);
  EXPECT_EQ(list.field("InstallType").type(), ValueType::Int16);
  EXPECT_EQ(*list.field("SHA256").toText(), refservice::sha256Hex(*g12.front().content));
  list.moveLast();
  EXPECT_EQ(list.field("SequenceID"), Value(std::int32_t{9999}));  // the custom group comes last
  EXPECT_TRUE(list.field("SHA256").isNull());
  list.moveFirst();
  ASSERT_TRUE(list.find("IsCompressed = 1"));
  EXPECT_EQ(*list.field("DownloadLocation").toText(), "demo-data.cmp");

  Table installOnly = readAdoXml(*o->invoke("GetInstallFilesByIDXML",
                                            {Arg::byRef(token), Arg::byVal(Value(std::int32_t{12})),
                                             Arg::byVal(Value::null())}).toText());
  EXPECT_EQ(static_cast<std::size_t>(installOnly.recordCount()), g12.size());

  std::string notes = "Available Page File = 1\r\nHas admin access = Yes\r\n";
  const Value none = o->invoke("WriteLoginNotes", {Arg::byRef(token), Arg::byRef(notes)});
  EXPECT_TRUE(none.isEmpty());  // a Sub
  ASSERT_EQ(ref.service().notes().size(), 1u);
  EXPECT_EQ(ref.service().notes()[0].text, notes);
  EXPECT_EQ(ref.service().notes()[0].login, kDemoAlice);
}

TEST_F(RefServiceMembersTest, ErrorsRaisedInsideMembersCarryProgIdAndDescription) {
  auto o = object(kLoginProgId, ref.serverUrl("EAST"));
  std::string badToken = "0000";
  try {
    o->invoke("GetInstallFilesByIDXML", {Arg::byRef(badToken), Arg::byVal(Value(std::int32_t{12})),
                                         Arg::byVal(Value(std::int32_t{0}))});
    FAIL() << "an unknown token must raise";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), refservice::kScodeFail);
    EXPECT_EQ(e.source(), kLoginProgId);
    EXPECT_NE(e.description().find("GetInstallFilesByIDXML"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("Invalid login token"), std::string::npos);
  }
  // A group the login may not use.
  std::string token = login(ref.serverUrl("EAST"));
  std::string bobToken;
  {
    std::string f = kDemoFiler, n = kDemoBob, p = testing::kDemoBobPassword;
    bobToken = *o->invoke("LoginUser", {Arg::byRef(f), Arg::byRef(n), Arg::byRef(p), Arg::byVal(Value(""))}).toText();
  }
  EXPECT_THROW(o->invoke("GetInstallFilesByIDXML", {Arg::byRef(bobToken), Arg::byVal(Value(std::int32_t{30})),
                                                    Arg::byVal(Value::null())}),
               RuntimeError);
  // Wrong number of arguments.
  try {
    o->invoke("GetUpdateInfoLastUpdate", {Arg::byRef(token)});
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), refservice::kScodeBadParamCount);
  }
  // Unknown ProgID and unknown member: refused with E_INVALIDARG.
  for (auto [progId, member] : {std::pair{"Shop.Orders", "GetLoginServersXML"}, std::pair{kLoginProgId, "Format"}}) {
    auto x = space->createObject(progId, ref.baseUrl());
    try {
      x->invoke(member, {});
      FAIL() << progId << "." << member;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), refservice::kScodeInvalidArg);
      EXPECT_NE(e.description().find(member), std::string::npos);
    }
  }
}

TEST_F(RefServiceMembersTest, WorldChangesShowInTheAnswers) {
  std::string token = login(ref.serverUrl("EAST"));
  ASSERT_TRUE(ref.service().setLastUpdate(12, "2027-01-02T03:04:05"));
  ASSERT_TRUE(ref.service().setFile(12, "demo-readme.txt", "new text", std::string("1.0.0.1")));
  auto o = object(kLoginProgId, ref.serverUrl("EAST"));
  std::string key = "INSTALL_12";
  EXPECT_EQ(*o->invoke("GetUpdateInfoLastUpdate", {Arg::byRef(token), Arg::byRef(key)}).toText(),
            "2027-01-02T03:04:05");
  Table list = readAdoXml(*o->invoke("GetInstallFilesByIDXML",
                                     {Arg::byRef(token), Arg::byVal(Value(std::int32_t{12})),
                                      Arg::byVal(Value::null())}).toText());
  ASSERT_TRUE(list.find("FileName = 'demo-readme.txt'"));
  EXPECT_EQ(*list.field("FileVersion").toText(), "1.0.0.1");
  EXPECT_EQ(*list.field("SHA256").toText(), refservice::sha256Hex("new text"));
  EXPECT_FALSE(ref.service().setFile(12, "no-such-file", "x"));
  EXPECT_FALSE(ref.service().setLastUpdate(77, "x"));
}

TEST_F(RefServiceMembersTest, LogFileHoldsCallsAndReportsButNoPasswordOrToken) {
  ref.service().stop();
  refservice::RefServiceOptions options;
  options.logFolder = temp.file("log");
  ref.startFromFolder(testing::demoWorldDir(), testing::demoAppPath(), options);
  std::string token = login(ref.serverUrl("EAST"));
  std::string notes = "Memory Load = %37\r\n";
  object(kLoginProgId, ref.serverUrl("EAST"))->invoke("WriteLoginNotes", {Arg::byRef(token), Arg::byRef(notes)});
  const std::string log = testing::readFile(ref.service().logFilePath());
  EXPECT_NE(log.find("CVBO_V2.Init.LoginUser(\"DEMO\", \"ALICE\", \"***\", \"127.0.0.1\")"), std::string::npos) << log;
  EXPECT_EQ(log.find(kDemoAlicePassword), std::string::npos);
  EXPECT_NE(log.find("    Memory Load = %37"), std::string::npos);
  EXPECT_NE(log.find(".WriteLoginNotes(\"***\", "), std::string::npos) << log;
  EXPECT_EQ(log.find(token), std::string::npos) << log;
}

TEST(RefServiceFixtureTest, MissingExpectedCallFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        testing::ScopedRefService s;
        s.startFromFolder(testing::demoWorldDir(), testing::demoAppPath());
        s.expectCall(kLoginProgId, "isValidLogin");
      },
      "CVBO_V2.Init.isValidLogin but received 0");
}

}  // namespace
}  // namespace zentro
