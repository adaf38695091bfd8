// The disk refusing writes and targets that cannot be replaced. A file-size limit
// (RLIMIT_FSIZE, with SIGXFSZ ignored so a write past it fails with EFBIG instead of killing
// the program) stands in for a full disk; it is set in a forked copy of the test program that
// runs the launcher, so the test itself and the service keep writing normally. Read-only
// targets: the tests run as root, which ignores permission bits, so a target is made
// unreplaceable by the platform's in-use lock (an exclusive flock another holder keeps) or by
// the immutable attribute (chattr +i) on the file or its folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "installer/install_texts.h"
#include "tests/fault/fault_fixture.h"

namespace zentro::testing {
namespace {

namespace texts = install_texts;

struct ChildRun {
  bool finished = false;  // exited by itself with status 0
  std::string report;     // what the child sent back
};

// Runs `body` in a forked copy of this program whose files may not grow past `limit` bytes.
// The child sends body's text back through a pipe and ends with _exit (no test-framework
// teardown in the copy). The wait is bounded: a child silent for two minutes is killed and
// the test fails.
ChildRun runWithFileSizeLimit(rlim_t limit, const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pipe";
    return {};
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    const std::string out = body();
    for (std::size_t done = 0; done < out.size();) {
      const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildRun result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    if (::poll(&p, 1, 100) > 0) {
      char buf[4096];
      const ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      result.report.append(buf, static_cast<std::size_t>(n));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ADD_FAILURE() << "the launcher under the file-size limit did not end within 2 minutes";
      break;
    }
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

// Sets the immutable attribute on a path for its lifetime. ok() is false where the file
// system does not support it.
class Immutable {
 public:
  explicit Immutable(std::string path) : path_(std::move(path)) {
    ok_ = std::system(("chattr +i '" + path_ + "' 2>/dev/null").c_str()) == 0;
  }
  ~Immutable() {
    if (ok_) std::system(("chattr -i '" + path_ + "'").c_str());
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// A small tmpfs mounted over a folder for its lifetime (the tests run as root). ok() is false
// where mounting is not allowed.
class SmallFileSystem {
 public:
  SmallFileSystem(std::string path, const char* size) : path_(std::move(path)) {
    ok_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (ok_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

class FaultDiskTest : public FaultTest {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    startDemo();
  }

  // The run stopped at the target it could not replace, with the installation error.
  void expectInstallationError(const ScriptedView& v) {
    EXPECT_TRUE(v.unloaded()) << v.journalText();
    ASSERT_GE(v.messageBoxCount(), 1) << v.journalText();
    const auto& box = v.lastMessageBox();
    EXPECT_EQ(box.title, std::optional<std::string>(std::string(texts::kInstallErrorTitle)));
    EXPECT_EQ(box.text, std::string(texts::kInstallErrorSingle) + std::string(texts::kTwoCr) +
                            std::string(texts::kWillNowClose));
    EXPECT_EQ(form->exitStatus(), FrmLogin::kExitNotLaunched);
  }
};

TEST_F(FaultDiskTest, DiskRefusingWrites) {
  const Installed before = installThenPublish();
  // A release larger than the disk will take: a 4 MiB library, and a data archive that is
  // small to download but expands to 4 MiB.
  constexpr rlim_t kLimit = 1u << 20;
  publishUpdate(4u << 20);
  ASSERT_TRUE(ref.service().setFile(kInstallGroup, "demo-data.dat", std::string(4u << 20, '\0'),
                                    "1.0.99.0"));
  newLog();

  const ChildRun child = runWithFileSizeLimit(kLimit, [this] {
    ScriptedView& v = runLauncher();
    return std::string(v.ended() ? "ended\n" : "still open\n") + boxTexts(v);
  });
  EXPECT_TRUE(child.finished) << "the launcher crashed under the file-size limit";
  EXPECT_EQ(child.report.rfind("ended\n", 0), 0u) << child.report;
  const std::string log = newLog();
  EXPECT_TRUE(contains(log, "ERROR download of demo-library.dll from ")) << log;
  EXPECT_TRUE(contains(log, "(the spool file cannot be written)")) << log;
  EXPECT_TRUE(contains(log, "did not expand: cannot write demo-data.dat: File too large")) << log;
  EXPECT_TRUE(contains(child.report, std::string(texts::kInstallErrorSingle))) << child.report;
  expectFailedRunKeptThingsWhole(before, "disk refusing writes");

  runLauncher();
  expectUpToDate("after the disk took writes again");
}

TEST_F(FaultDiskTest, TempFolderOnAFullFileSystem) {
  const Installed before = installThenPublish();
  // The temp folder (downloads, archive expansion, the run log) on a 2 MiB file system; a
  // release whose library and expanded data are 4 MiB each.
  publishUpdate(4u << 20);
  ASSERT_TRUE(ref.service().setFile(kInstallGroup, "demo-data.dat", std::string(4u << 20, '\0'),
                                    "1.0.99.0"));
  std::string log;
  {
    SmallFileSystem full(rootFolder() + "/Temp", "2m");
    if (!full.ok()) GTEST_SKIP() << "cannot mount a tmpfs here";
    closeLog();  // the run holds its log open: this run starts its own, on the small file system
    ScriptedView& v = runLauncher();
    EXPECT_TRUE(v.unloaded()) << v.journalText();
    EXPECT_TRUE(contains(boxTexts(v), std::string(texts::kInstallErrorSingle))) << boxTexts(v);
    log = readFile(logPath());
    closeLog();
  }
  EXPECT_TRUE(contains(log, "ERROR download of demo-library.dll from ")) << log;
  EXPECT_TRUE(contains(log, "(the spool file cannot be written)")) << log;
  EXPECT_TRUE(contains(log, "did not expand: not enough free space for 4194304 bytes")) << log;
  expectFailedRunKeptThingsWhole(before, "temp folder full");

  runLauncher();
  expectUpToDate("after the temp folder had room again");
}

TEST_F(FaultDiskTest, TargetLockedByAnotherHolder) {
  const Installed before = installThenPublish();
  const std::string library = commonFolder() + "/demo-library.dll";
  const int fd = ::open(library.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  ScriptedView& v = runLauncher();
  ::close(fd);
  expectInstallationError(v);
  expectFailedRunKeptThingsWhole(before, "library in use");

  runLauncher();
  expectUpToDate("after the library was released");
}

TEST_F(FaultDiskTest, ImmutableTargetFileAndFolder) {
  const Installed before = installThenPublish();
  {
    Immutable locked(commonFolder() + "/demo-library.dll");
    if (!locked.ok()) GTEST_SKIP() << "chattr +i is not supported on this file system";
    ScriptedView& v = runLauncher();
    expectInstallationError(v);
    expectFailedRunKeptThingsWhole(before, "immutable library");
  }
  {
    // A folder nothing can be written to fails the write probe first: the user is told of
    // missing rights.
    Immutable locked(commonFolder());
    ScriptedView& v = runLauncher();
    EXPECT_TRUE(v.unloaded()) << v.journalText();
    ASSERT_GE(v.messageBoxCount(), 1) << v.journalText();
    EXPECT_EQ(v.lastMessageBox().title,
              std::optional<std::string>(std::string(texts::kCriticalErrorTitle)));
    EXPECT_EQ(v.lastMessageBox().text, std::string(texts::kMissingRights) +
                                           std::string(texts::kTwoCr) +
                                           std::string(texts::kMissingRightsAdvice));
    EXPECT_EQ(form->exitStatus(), FrmLogin::kExitNotLaunched);
    expectFailedRunKeptThingsWhole(before, "immutable deployment folder");
  }
  runLauncher();
  expectUpToDate("after the attributes were cleared");
}

}  // namespace
}  // namespace zentro::testing
