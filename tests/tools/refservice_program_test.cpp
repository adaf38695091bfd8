// The zentro-refservice program as the demo runs it: ready file, URLs, a log without secrets,
// clean stop.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/http.h"
#include "remote/data_space.h"
#include "tests/support/ref_service_fixture.h"
#include "tools/refservice/business_objects.h"

extern char** environ;

namespace zentro {
namespace {

class RefServiceProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  static std::string program() {
    return std::string(ZENTRO_BINARY_DIR) + "/tools/zentro-refservice";
  }
  // Starts the program with `args`; its output goes to files in the temporary folder.
  void launch(std::vector<std::string> args) {
    args.insert(args.begin(), program());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, temp.file("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, temp.file("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(posix_spawn(&pid_, program().c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  // The ready file's text, once it appears (bounded: "" when it never does).
  std::string waitReady(const std::string& file) {
    for (int i = 0; i < 1000 && !std::filesystem::exists(file); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return testing::readFile(file);
  }
  int stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  testing::TempDir temp;
  pid_t pid_ = -1;
};

TEST_F(RefServiceProgramTest, ReportsABrokenWorldOrServesAndLogsWithoutSecrets) {
  temp.write("world/world.ini", "[server S]\ncolour = red\n");
  const int status = std::system((program() + " --world " + temp.file("world") + " --ready-file " +
                                  temp.file("ready") + " 2> " + temp.file("stderr.txt")).c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_FALSE(std::filesystem::exists(temp.file("ready")));
  EXPECT_EQ(testing::readFile(temp.file("stderr.txt")),
            "zentro-refservice: world.ini:2: unknown key \"colour\" in [server]\n");

  launch({"--world", testing::demoWorldDir(), "--log", temp.file("log"), "--ready-file",
          temp.file("ready"), "--demo-app", testing::demoAppPath()});
  const std::string ready = waitReady(temp.file("ready"));
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
  EXPECT_EQ(stop(), 0);
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
