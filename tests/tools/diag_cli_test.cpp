// zentro-diag as a user runs it: the built program on sample files and against the reference
// service on loopback.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

#include "remote/ado_xml.h"
#include "tests/support/ref_service_fixture.h"
#include "tools/refservice/business_objects.h"

namespace zentro {
namespace {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class DiagCliTest : public ::testing::Test {
 protected:
  // Runs zentro-diag with `args` (already quoted for the shell).
  CliRun diag(const std::string& args) {
    const std::string program = std::string(ZENTRO_BINARY_DIR) + "/tools/zentro-diag";
    const std::string cmd = program + " " + args + " > " + temp.file("out.txt") + " 2> " + temp.file("err.txt");
    const int status = std::system(cmd.c_str());
    CliRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = testing::readFile(temp.file("out.txt"));
    r.err = testing::readFile(temp.file("err.txt"));
    return r;
  }
  static std::string data(const char* name) { return std::string(ZENTRO_TEST_DATA) + "/" + name; }

  testing::TempDir temp;
};

TEST_F(DiagCliTest, RowsetPrintsFieldsThenJsonRowsWithNull) {
  const CliRun r = diag("rowset " + data("rowset_typed_with_nulls.xml"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("fields: 4\n  Name  String  50  not null\n  Qty  Int32  4  not null\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  Last Visit  Date"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("rows: 2\n"
                       "{\"Name\": \"O'Brien & \\\"Sons\\\"\", \"Qty\": 3, \"Last Visit\": \"2001-02-03T04:05:06\", "
                       "\"Active\": true}\n"
                       "{\"Name\": \"Smith\", \"Qty\": -7, \"Last Visit\": null, \"Active\": null}\n"),
            std::string::npos)
      << r.out;
}

TEST_F(DiagCliTest, RowsetReportsABadFile) {
  for (const std::string& file : {data("broken_truncated_rowset.xml"), temp.file("no-such-file.xml")}) {
    const CliRun r = diag("rowset " + file);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("zentro-diag: " + file + ": ", 0), 0u) << r.err;
  }
  EXPECT_EQ(diag("rowset").exitCode, 2);
}

TEST_F(DiagCliTest, ConfigListsPropertiesOrSaysTheFileIsMissing) {
  const CliRun missing = diag("config " + temp.str());
  EXPECT_EQ(missing.exitCode, 0);
  EXPECT_EQ(missing.out, "no configuration file at " + temp.str() + "/VMIZentroConfig.XML\n");

  Table t({FieldDef{"PropName", FieldType::String, 255, true}, FieldDef{"PropValue", FieldType::String, 4000, true}});
  t.appendRow({Value("BaseURL"), Value("http://127.0.0.1:8080/cvbo")});
  t.appendRow({Value("SharedEnvironment"), Value(" true ")});
  t.appendRow({Value("UPDATEADMINLOGIN"), Value::null()});
  temp.write("VMIZentroConfig.XML", writeAdoXml(t));
  const CliRun r = diag("config " + temp.str());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("BaseURL = \"http://127.0.0.1:8080/cvbo\"\nSharedEnvironment = \" true \"\n"
                       "UPDATEADMINLOGIN = (null)\n"),
            std::string::npos)
      << r.out;

  temp.write("VMIZentroConfig.XML", "<xml><broken");
  EXPECT_EQ(diag("config " + temp.str()).exitCode, 1);
}

TEST_F(DiagCliTest, CallPrintsResultAndByReferenceValues) {
  testing::ScopedRefService ref;
  ref.startFromFolder(testing::demoWorldDir(), testing::demoAppPath());
  ref.expectCall(refservice::kLoginProgId, "LoginUser");
  ref.expectCall(refservice::kLoginProgId, "isValidLogin");
  const std::string east = ref.serverUrl("EAST");

  const CliRun login = diag("call " + east + " CVBO_V2.Init LoginUser '&s:DEMO' '&s:ALICE' '&s:alice-demo' s:127.0.0.1");
  ASSERT_EQ(login.exitCode, 0) << login.err;
  const std::string token = ref.service().lastTokenOf("DEMO", "ALICE");
  EXPECT_EQ(login.out, "result (String): " + token +
                           "\nargument 1 by reference (String): DEMO\n"
                           "argument 2 by reference (String): ALICE\n"
                           "argument 3 by reference (String): alice-demo\n");

  const CliRun valid = diag("call " + east + " CVBO_V2.Init isValidLogin s:DEMO s:ALICE s:alice-demo b:false '&b:true'");
  ASSERT_EQ(valid.exitCode, 0) << valid.err;
  EXPECT_EQ(valid.out, "result (Bool): true\nargument 5 by reference (Bool): true\n");

  // An array of VARIANTs, as a data factory returns beside a failed call, prints readably.
  ref.service().setMemberFault("EAST", "isValidLogin", refservice::Fault{refservice::Fault::Kind::ArrayAnswer});
  const CliRun array = diag("call " + east + " CVBO_V2.Init isValidLogin s:DEMO s:ALICE s:alice-demo b:false '&b:true'");
  ASSERT_EQ(array.exitCode, 0) << array.err;
  EXPECT_EQ(array.out, "result (Array of Variant, 0 To 3): [42, {\"error\": \"0x80004005\", \"source\": "
                       "\"CVBO_V2.Init\", \"description\": \"Fault injected by the reference service\"}, "
                       "[\"one\", null], \"Nothing\"]\nargument 5 by reference (Bool): true\n");
  ref.service().clearFaults();

  const CliRun files = diag("call " + east + " CVBO_V2.Init GetInstallFilesByIDXML '&s:" + token + "' i:12 n:");
  ASSERT_EQ(files.exitCode, 0) << files.err;
  EXPECT_NE(files.out.find("z:row FileName='demo-readme.txt'"), std::string::npos) << files.out;

  const CliRun unknown = diag("call " + east + " CVBO_V2.Init NoSuchMember");
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.err.find("(0x80070057) from CVBO_V2.Init: NoSuchMember: "), std::string::npos) << unknown.err;

  EXPECT_EQ(diag("call " + east + " CVBO_V2.Init isValidLogin x:1").exitCode, 2);
  EXPECT_EQ(diag("call " + east + " CVBO_V2.Init isValidLogin i:twelve").exitCode, 2);
}

}  // namespace
}  // namespace zentro
