// kill -9 of the launcher at many points of a run, each followed by a normal run that must
// bring the deployment fully up to date. The killed launcher is the real program (VMIZentro,
// Qt on the offscreen platform) with an automatic command-line login against the in-process
// reference service; it is killed at fractions of the time a whole update run takes on this
// machine (measured first, and again whenever a run ends before its point, so the points
// spread over the run however fast the machine is),
// or once the service has begun serving a given number of downloads. Before each kill a new
// release waits on the server, so the killed run is in the middle of a real update.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_lock.h"
#include "tests/fault/fault_fixture.h"

extern char** environ;

namespace zentro::testing {
namespace {

struct KillPlan {
  std::string name;
  bool byTime = false;  // kill at fractions of a whole run's time, else at downloads 1..count
  int count = 0;
};
void PrintTo(const KillPlan& c, std::ostream* os) { *os << c.name; }

class FaultKillTest : public FaultTest, public ::testing::WithParamInterface<KillPlan> {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    env.set("QT_QPA_PLATFORM", "offscreen");
    startService(demoWorld());
  }

  pid_t startProgram() {
    const std::string program = ZENTRO_BINARY_DIR "/platform/qt/VMIZentro";
    const std::string arg = bobCommandLine();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(arg.c_str()), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << "cannot start " << program;
    return rc == 0 ? pid : -1;
  }

  struct RunEnd {
    bool killed = false;  // else it ended by itself
    long ms = 0;          // how long it ran
    int exitStatus = -1;  // when it ended by itself
  };

  // Runs the program until the kill point (`at` ms after the start when `byTime`, else once
  // `at` downloads of the run have begun), then kills it with SIGKILL. Bounded: a program that
  // neither reaches the point nor ends within a minute fails the test (and is killed). Once its
  // downloads have begun, its arguments as every user sees them no longer show the password.
  RunEnd runAndKill(bool byTime, int at) {
    const std::size_t downloadsBefore = ref.service().downloads().size();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = startProgram();
    if (pid < 0) return {};
    for (;;) {
      int status = 0;
      const auto elapsed = std::chrono::steady_clock::now() - start;
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        return {false, long(ms), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
      }
      const bool reached = byTime ? elapsed >= std::chrono::milliseconds(at)
                                  : ref.service().downloads().size() >= downloadsBefore + at;
      if (reached && !byTime) {
        const std::string args = readFile("/proc/" + std::to_string(pid) + "/cmdline");
        EXPECT_EQ(args.find(kDemoBobPassword), std::string::npos) << args;
        EXPECT_NE(args.find(std::string(kDemoBob) + "|"), std::string::npos) << args;
      }
      if (reached || elapsed > std::chrono::minutes(1)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(reached) << "the launcher neither reached the kill point nor ended in 1 min";
        return {true, long(ms)};
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
};

TEST_P(FaultKillTest, NormalRunAfterEachKillBringsEverythingUpToDate) {
  const KillPlan& plan = GetParam();
  long wholeRunMs = 0;
  if (plan.byTime) {
    runLauncher();
    publishUpdate();
    const RunEnd whole = runAndKill(false, 1 << 30);
    EXPECT_FALSE(whole.killed);
    wholeRunMs = whole.ms;
    expectUpToDate("an update run of the program itself");
    EXPECT_EQ(whole.exitStatus, FrmLogin::kExitCurrent) << "launched, every update in place";
  }
  int killed = 0;
  std::string outcomes;
  for (int k = 0; k < plan.count; ++k) {
    // The first kill of ByDownloads interrupts a fresh install, every later one an update.
    if (plan.byTime || k > 0) publishUpdate();
    const int at = plan.byTime ? int(wholeRunMs * k / plan.count) : k + 1;
    const std::string where = plan.byTime ? "killed after " + std::to_string(at) + " ms"
                                          : "killed at download " + std::to_string(at);
    const RunEnd end = runAndKill(plan.byTime, at);
    killed += end.killed;
    if (!end.killed && plan.byTime) {
      wholeRunMs = std::min(wholeRunMs, end.ms);  // the machine got faster: so do the points
    }
    outcomes += where + ": " + (end.killed ? "killed" : "ended by itself") + " after " +
                std::to_string(end.ms) + " ms\n";
    ScriptedView& v = runLauncher();
    EXPECT_TRUE(v.unloaded()) << where << "\n" << v.journalText();
    EXPECT_EQ(v.messageBoxCount(), 0) << where << "\n" << v.journalText();
    expectUpToDate(where);
    if (HasFatalFailure()) return;
  }
  // Most points must fall inside a run, or the test would not be testing kills.
  EXPECT_GE(killed, plan.count / 2) << outcomes;
  std::cout << outcomes;
}

// What a kill used to leave behind: a child the launcher had just forked (not yet at its exec,
// which closes the launcher's descriptors) kept the killed launcher's spool lock held.
TEST(KilledHoldTest, AChildForkedBeforeTheKillDoesNotKeepTheHold) {
  TempDir temp;
  const std::string path = temp.file("~zentro-spool-0.tmp.lock");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    const auto hold = platform::holdNewFileLock(path);
    pid_t child = ::fork();
    if (child == 0) {
      ::sleep(10);  // a child that has not reached its exec
      ::_exit(0);
    }
    if (!hold) child = -1;
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &child, sizeof child);
    ::pause();
  }
  pid_t child = -1;
  ASSERT_EQ(::read(pipeFds[0], &child, sizeof child), ssize_t(sizeof child));
  ASSERT_GT(child, 0) << "no hold";
  EXPECT_TRUE(platform::fileInUse(path));
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_FALSE(platform::fileInUse(path));
  EXPECT_TRUE(platform::removeUnlessInUse(path));
  ::kill(child, SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(
    Kill, FaultKillTest,
    ::testing::Values(
        KillPlan{"ByTime", true, 16}, KillPlan{"ByDownloads", false, 7}),
    [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace zentro::testing
