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

// Each call: the arguments, the exit code, and a text the output (or, on failure, the error
// output) must hold.
struct DiagCall {
  std::string args;
  int exitCode;
  std::string shows;
};

class DiagCliTest : public ::testing::Test {
 protected:
  // Runs zentro-diag with `args` (already quoted for the shell).
  CliRun diag(const std::string& args) {
    const std::string program = std::string(ZENTRO_BINARY_DIR) + "/tools/zentro-diag";
    const std::string cmd = program + " " + args + " > " + temp.file("out.txt") + " 2> " + temp.file("err.txt");
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::readFile(temp.file("out.txt")),
            testing::readFile(temp.file("err.txt"))};
  }
  static std::string data(const char* name) { return std::string(ZENTRO_TEST_DATA) + "/" + name; }
  // Runs each call; a failing one prints nothing on standard output.
  void check(const std::vector<DiagCall>& calls) {
    for (const DiagCall& c : calls) {
      const CliRun r = diag(c.args);
      EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.err;
      EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(c.shows), std::string::npos)
          << c.args << "\n" << r.out << r.err;
      if (c.exitCode != 0) {
        EXPECT_EQ(r.out, "") << c.args;
      }
    }
  }

  testing::TempDir temp;
};

TEST_F(DiagCliTest, FilesArePrintedOrTheirFaultNamed) {
  temp.write("config/VMIZentroConfig.XML", "<xml><broken");
  Table t({FieldDef{"PropName", FieldType::String, 255, true},
           FieldDef{"PropValue", FieldType::String, 4000, true}});
  t.appendRow({Value("BaseURL"), Value("http://127.0.0.1:8080/cvbo")});
  t.appendRow({Value("SharedEnvironment"), Value(" true ")});
  t.appendRow({Value("UPDATEADMINLOGIN"), Value::null()});
  temp.write("good/VMIZentroConfig.XML", writeAdoXml(t));
  const std::string broken = data("broken_truncated_rowset.xml");
  check({{"rowset " + data("rowset_typed_with_nulls.xml"), 0,
       "rows: 2\n{\"Name\": \"O'Brien & \\\"Sons\\\"\", \"Qty\": 3, \"Last Visit\": "
       "\"2001-02-03T04:05:06\", \"Active\": true}\n{\"Name\": \"Smith\", \"Qty\": -7, "
       "\"Last Visit\": null, \"Active\": null}\n"},
      {"rowset " + broken, 1, "zentro-diag: " + broken + ": "},
      {"rowset " + temp.file("none.xml"), 1, "zentro-diag: " + temp.file("none.xml") + ": "},
      {"rowset", 2, ""},
      {"config " + temp.str(), 0,
       "no configuration file at " + temp.str() + "/VMIZentroConfig.XML\n"},
      {"config " + temp.file("good"), 0,
       "BaseURL = \"http://127.0.0.1:8080/cvbo\"\nSharedEnvironment = \" true \"\n"
       "UPDATEADMINLOGIN = (null)\n"},
      {"config " + temp.file("config"), 1, ""}});
}

TEST_F(DiagCliTest, CallsPrintResultsByReferenceValuesAndErrors) {
  testing::ScopedRefService ref;
  ref.startFromFolder(testing::demoWorldDir(), testing::demoAppPath());
  const std::string valid = "call " + ref.serverUrl("EAST") + " CVBO_V2.Init isValidLogin ";
  const std::string login = "call " + ref.serverUrl("EAST") +
                            " CVBO_V2.Init LoginUser '&s:DEMO' '&s:ALICE' '&s:alice-demo' s:127.0.0.1";
  // An array of VARIANTs, as a data factory returns beside a failed call, prints readably.
  ref.service().setMemberFault("EAST", "isValidLogin",
                               refservice::Fault{refservice::Fault::Kind::ArrayAnswer, 0, 1});
  check({{valid + "s:DEMO s:ALICE s:alice-demo b:false '&b:true'", 0,
       "result (Array of Variant, 0 To 3): [42, {\"error\": \"0x80004005\", \"source\": "
       "\"CVBO_V2.Init\", \"description\": \"Fault injected by the reference service\"}, "
       "[\"one\", null], \"Nothing\"]\nargument 5 by reference (Bool): true\n"},
      {valid + "s:DEMO s:ALICE s:alice-demo b:false '&b:true'", 0,
       "result (Bool): true\nargument 5 by reference (Bool): true\n"},
      {login, 0, "argument 1 by reference (String): DEMO\nargument 2 by reference (String): "
                 "ALICE\nargument 3 by reference (String): alice-demo\n"},
      {"call " + ref.serverUrl("EAST") + " CVBO_V2.Init NoSuchMember", 1,
       "(0x80070057) from CVBO_V2.Init: NoSuchMember: "},
      {valid + "x:1", 2, ""},
      {valid + "i:twelve", 2, ""}});
  EXPECT_NE(diag(login).out.find("result (String): " + ref.service().lastTokenOf("DEMO", "ALICE")),
            std::string::npos);
}

}  // namespace
}  // namespace zentro
