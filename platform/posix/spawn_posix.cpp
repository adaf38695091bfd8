#include "platform/posix/spawn_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zentro::platform::posix {
namespace {

// What the child reports through the error pipe before it gives up.
struct ChildReport {
  int stage;
  int error;
};

class Pipe {
 public:
  Pipe() {
    if (pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  bool valid() const { return fds_[0] >= 0; }
  int readEnd() const { return fds_[0]; }
  int writeEnd() const { return fds_[1]; }
  void closeRead() {
    if (fds_[0] >= 0) ::close(fds_[0]);
    fds_[0] = -1;
  }
  void closeWrite() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2];
};

std::vector<char*> argvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  out.reserve(argv.size() + 1);
  for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

// Child side, after fork: async-signal-safe calls only. Never returns.
[[noreturn]] void execChild(char* const* argv, const char* workingFolder, int reportFd) {
  // The parent may block or ignore signals (SIGPIPE, SIGCHLD); a started program expects
  // the defaults.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGPIPE, SIG_DFL);
  signal(SIGCHLD, SIG_DFL);
  // Descriptors the parent opened without O_CLOEXEC must not leak into the program.
  close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

  ChildReport report{SpawnError::kNone, 0};
  if (workingFolder && *workingFolder && chdir(workingFolder) != 0) {
    report = {SpawnError::kChdir, errno};
  } else {
    execv(argv[0], argv);
    report = {SpawnError::kExec, errno};
  }
  ssize_t ignored = write(reportFd, &report, sizeof report);
  (void)ignored;
  _exit(127);
}

// Reads the child's report; EOF without a report means the exec succeeded.
SpawnError readReport(int fd) {
  ChildReport report{SpawnError::kNone, 0};
  ssize_t n;
  do {
    n = read(fd, &report, sizeof report);
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(sizeof report)) {
    return SpawnError{static_cast<SpawnError::Stage>(report.stage), report.error};
  }
  return {};
}

int waitForExit(pid_t pid) {
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

SpawnError spawnDetached(const std::vector<std::string>& argv, const std::string& workingFolder) {
  if (argv.empty()) return {SpawnError::kExec, ENOENT};
  std::vector<char*> args = argvPointers(argv);
  Pipe pipe;
  if (!pipe.valid()) return {SpawnError::kFork, errno};

  pid_t middle = fork();
  if (middle < 0) return {SpawnError::kFork, errno};
  if (middle == 0) {
    // The middle process only forks the program and leaves, so the program is re-parented
    // to init and never becomes our zombie.
    setsid();
    pid_t program = fork();
    if (program == 0) execChild(args.data(), workingFolder.c_str(), pipe.writeEnd());
    if (program < 0) {
      ChildReport report{SpawnError::kFork, errno};
      ssize_t ignored = write(pipe.writeEnd(), &report, sizeof report);
      (void)ignored;
    }
    _exit(0);
  }
  pipe.closeWrite();
  SpawnError result = readReport(pipe.readEnd());
  waitForExit(middle);
  return result;
}

SpawnError spawnAndWait(const std::vector<std::string>& argv, int& exitCode) {
  exitCode = -1;
  if (argv.empty()) return {SpawnError::kExec, ENOENT};
  std::vector<char*> args = argvPointers(argv);
  Pipe pipe;
  if (!pipe.valid()) return {SpawnError::kFork, errno};

  pid_t child = fork();
  if (child < 0) return {SpawnError::kFork, errno};
  if (child == 0) execChild(args.data(), nullptr, pipe.writeEnd());
  pipe.closeWrite();
  SpawnError result = readReport(pipe.readEnd());
  int code = waitForExit(child);
  if (result.ok()) exitCode = code;
  return result;
}

std::string findInPath(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t end = list.find(':', start);
    std::string dir = list.substr(start, end == std::string::npos ? end : end - start);
    // An empty entry means the current folder, by the old shell convention.
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    struct stat st {};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
}

}  // namespace zentro::platform::posix
