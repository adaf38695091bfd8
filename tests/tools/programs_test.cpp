// The tools' programs as a user runs them: zentro-diag on sample files and against the
// reference service on loopback; zentro-refservice as the demo runs it (ready file, URLs, a log
// without secrets, clean stop).

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

#include "platform/http.h"
#include "remote/ado_xml.h"
#include "remote/data_space.h"
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

class ToolProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (running_) {
      kill(pid_, SIGKILL);
      pclose(running_);
    }
  }
  static std::string program(const char* name) {
    return std::string(ZENTRO_BINARY_DIR) + "/tools/" + name;
  }
  // Runs the program `name` with `args` (already quoted for the shell) to its end, for at most
  // a minute (a program that wrongly keeps serving is stopped and fails).
  CliRun run(const char* name, const std::string& args) {
    const std::string cmd = "timeout 60 " + program(name) + " " + args + " > " +
                            temp.file("out.txt") + " 2> " + temp.file("err.txt");
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::readFile(temp.file("out.txt")),
            testing::readFile(temp.file("err.txt"))};
  }
  static std::string data(const char* name) { return std::string(ZENTRO_TEST_DATA) + "/" + name; }
  // Runs zentro-diag for each call; a failing one prints nothing on standard output.
  void check(const std::vector<DiagCall>& calls) {
    for (const DiagCall& c : calls) {
      const CliRun r = run("zentro-diag", c.args);
      EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.err;
      EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(c.shows), std::string::npos)
          << c.args << "\n" << r.out << r.err;
      if (c.exitCode != 0) {
        EXPECT_EQ(r.out, "") << c.args;
      }
    }
  }

  testing::TempDir temp;
  FILE* running_ = nullptr;  // the launched program's shell, until it is stopped (or TearDown)
  pid_t pid_ = -1;
};

TEST_F(ToolProgramTest, DiagPrintsFilesOrNamesTheirFault) {
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

TEST_F(ToolProgramTest, DiagCallsPrintResultsByReferenceValuesAndErrors) {
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
  const std::string out = run("zentro-diag", login).out;  // a new login, a new token
  EXPECT_NE(out.find("result (String): " + ref.service().lastTokenOf("DEMO", "ALICE")),
            std::string::npos);
}

TEST_F(ToolProgramTest, RefServiceReportsABrokenWorldOrServesAndLogsWithoutSecrets) {
  temp.write("world/world.ini", "[server S]\ncolour = red\n");
  const CliRun broken = run("zentro-refservice",
                            "--world " + temp.file("world") + " --ready-file " + temp.file("ready"));
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(temp.file("ready")));
  EXPECT_EQ(broken.err, "zentro-refservice: world.ini:2: unknown key \"colour\" in [server]\n");

  // Started through the shell, which tells its process id, which the program takes over.
  running_ = popen(("echo $$; exec " + program("zentro-refservice") + " --world " +
                    testing::demoWorldDir() + " --log " + temp.file("log") + " --ready-file " +
                    temp.file("ready") + " --demo-app " + testing::demoAppPath() + " > " +
                    temp.file("stdout.txt") + " 2> " + temp.file("stderr.txt")).c_str(), "r");
  ASSERT_NE(running_, nullptr);
  ASSERT_EQ(std::fscanf(running_, "%d", &pid_), 1);
  for (int i = 0; i < 1000 && !std::filesystem::exists(temp.file("ready")); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const std::string ready = testing::readFile(temp.file("ready"));
  ASSERT_NE(ready, "") << testing::readFile(temp.file("stderr.txt"));
  const std::string out = testing::readFile(temp.file("stdout.txt"));
  EXPECT_NE(out.find("base login object: " + ready.substr(0, ready.find('\n')) + "\n"),
            std::string::npos)
      << out;
  const auto east = out.find("login server EAST: ");
  ASSERT_NE(east, std::string::npos) << out;
  const std::string eastUrl = out.substr(east + 19, out.find('\n', east) - east - 19);
  auto http = platform::makeHttpClient();
  platform::HttpRequest r;
  r.method = "GET";
  r.url = eastUrl + "/BROKER/InstallFiles/zentro-demo-app";
  const auto app = http->send(r);
  EXPECT_EQ(app.status, 200);
  EXPECT_EQ(app.body, testing::readFile(testing::demoAppPath()));

  // The log holds every call and report, but never a password or a login token.
  DataSpace space(*http);
  auto o = space.createObject(refservice::kLoginProgId, eastUrl);
  std::string filer = testing::kDemoFiler, name = testing::kDemoAlice,
              password = testing::kDemoAlicePassword;
  std::string token = *o->invoke("LoginUser", {Arg::byRef(filer), Arg::byRef(name),
                                               Arg::byRef(password), Arg::byVal(Value("127.0.0.1"))})
                           .toText();
  ASSERT_FALSE(token.empty());
  std::string notes = "Memory Load = %37\r\n";
  o->invoke("WriteLoginNotes", {Arg::byRef(token), Arg::byRef(notes)});
  kill(pid_, SIGTERM);
  const int status = pclose(std::exchange(running_, nullptr));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string log = testing::readFile(temp.file("log/refservice.log"));
  for (const char* line : {"GET /cvbo/BROKER/InstallFiles/zentro-demo-app -> 200",
                           "CVBO_V2.Init.LoginUser(\"DEMO\", \"ALICE\", \"***\", \"127.0.0.1\")",
                           "    Memory Load = %37", ".WriteLoginNotes(\"***\", "}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(log.find(testing::kDemoAlicePassword), std::string::npos) << log;
  EXPECT_EQ(log.find(token), std::string::npos) << log;
}

}  // namespace
}  // namespace zentro
