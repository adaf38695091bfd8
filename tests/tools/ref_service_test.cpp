// The reference-service fixture's own check, and the service's log: every call and report, never
// a password or a login token.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/http.h"
#include "remote/data_space.h"
#include "tests/support/ref_service_fixture.h"
#include "tools/refservice/business_objects.h"

namespace zentro {
namespace {

using refservice::kLoginProgId;

TEST(RefServiceFixtureTest, MissingExpectedCallFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        testing::ScopedRefService s;
        s.startFromFolder(testing::demoWorldDir(), testing::demoAppPath());
        s.expectCall(kLoginProgId, "isValidLogin");
      },
      "CVBO_V2.Init.isValidLogin but received 0");
}

TEST(RefServiceLogTest, HoldsCallsAndReportsButNoPasswordOrToken) {
  testing::TempDir temp;
  testing::ScopedRefService ref;
  refservice::RefServiceOptions options;
  options.logFolder = temp.file("log");
  ref.startFromFolder(testing::demoWorldDir(), testing::demoAppPath(), options);
  auto http = platform::makeHttpClient();
  DataSpace space(*http);
  auto o = space.createObject(kLoginProgId, ref.serverUrl("EAST"));
  std::string filer = testing::kDemoFiler, name = testing::kDemoAlice,
              password = testing::kDemoAlicePassword;
  std::string token = *o->invoke("LoginUser", {Arg::byRef(filer), Arg::byRef(name),
                                               Arg::byRef(password), Arg::byVal(Value("127.0.0.1"))})
                           .toText();
  ASSERT_FALSE(token.empty());
  std::string notes = "Memory Load = %37\r\n";
  o->invoke("WriteLoginNotes", {Arg::byRef(token), Arg::byRef(notes)});
  const std::string log = testing::readFile(ref.service().logFilePath());
  EXPECT_NE(log.find("CVBO_V2.Init.LoginUser(\"DEMO\", \"ALICE\", \"***\", \"127.0.0.1\")"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("    Memory Load = %37"), std::string::npos) << log;
  EXPECT_NE(log.find(".WriteLoginNotes(\"***\", "), std::string::npos) << log;
  EXPECT_EQ(log.find(testing::kDemoAlicePassword), std::string::npos) << log;
  EXPECT_EQ(log.find(token), std::string::npos) << log;
}

}  // namespace
}  // namespace zentro
