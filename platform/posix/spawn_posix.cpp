#include "platform/posix/spawn_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

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

// Closes every descriptor from 3 up except the three in `keep` (all 3 or above).
// Async-signal-safe.
void closeAllBut(int (&keep)[3]) {
  for (int i = 1; i < 3; ++i) {  // sorted in place; no library call after fork
    for (int j = i; j > 0 && keep[j - 1] > keep[j]; --j) {
      const int t = keep[j];
      keep[j] = keep[j - 1];
      keep[j - 1] = t;
    }
  }
  unsigned from = 3;
  for (int fd : keep) {
    if (static_cast<unsigned>(fd) > from) close_range(from, static_cast<unsigned>(fd) - 1, 0);
    from = static_cast<unsigned>(fd) + 1;
  }
  close_range(from, ~0U, 0);
}

void sendReport(int fd, const SpawnError& error) {
  ChildReport report{error.stage, error.error};
  ssize_t ignored = write(fd, &report, sizeof report);
  (void)ignored;
}

long long monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The process name of `pid` (/proc/PID/comm without its line end) into `name`; false when it
// cannot be read. Async-signal-safe: it runs in the forked middle process.
bool processName(pid_t pid, char (&name)[32]) {
  char path[40] = "/proc/";
  char digits[16];
  int n = 0;
  for (unsigned long v = static_cast<unsigned long>(pid); n == 0 || v != 0; v /= 10) {
    digits[n++] = static_cast<char>('0' + v % 10);
  }
  std::size_t at = std::strlen(path);
  while (n > 0) path[at++] = digits[--n];
  std::memcpy(path + at, "/comm", 6);
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t got = read(fd, name, sizeof name - 1);
  close(fd);
  if (got <= 0) return false;
  name[got] = '\0';
  if (name[got - 1] == '\n') name[got - 1] = '\0';
  return true;
}

// Middle process, after the tool's exec: waits until the tool hands over, exits or the bound
// passes (see StartWatch). Async-signal-safe calls only; `toolName` was prepared before fork.
SpawnError watchStart(pid_t tool, const char* toolName, long long boundMs) {
  const long long deadline = monotonicMs() + boundMs;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(tool, &status, WNOHANG);
    if (r == tool) {
      const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return {SpawnError::kExited, code};
    }
    if (r < 0 && errno != EINTR) return {};
    char name[32];
    if (processName(tool, name) && std::strcmp(name, toolName) != 0) return {};  // handed over
    if (monotonicMs() >= deadline) return {};
    const timespec pause{0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
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

SpawnError spawnDetached(const std::vector<std::string>& argv, const std::string& workingFolder,
                         const StartWatch* watch) {
  if (argv.empty()) return {SpawnError::kExec, ENOENT};
  std::vector<char*> args = argvPointers(argv);
  // The tool's name as the kernel keeps it: its first 15 characters.
  const std::string toolName = watch ? watch->toolName.substr(0, 15) : std::string();
  const long long boundMs = watch ? static_cast<long long>(watch->bound.count()) : 0;
  Pipe toParent;  // the middle process's verdict
  Pipe toMiddle;  // the program's exec report
  if (!toParent.valid() || !toMiddle.valid()) return {SpawnError::kFork, errno};

  pid_t middle = fork();
  if (middle < 0) return {SpawnError::kFork, errno};
  if (middle == 0) {
    // The middle process forks the program, passes on how its start went and leaves, so the
    // program is re-parented to init and never becomes our zombie.
    setsid();
    // The middle process never execs, so it would hold every descriptor of the caller for as
    // long as it lives, locks included (a spool's lock would outlive a killed caller).
    int keep[3] = {toParent.writeEnd(), toMiddle.readEnd(), toMiddle.writeEnd()};
    closeAllBut(keep);
    // The caller's own child handling (a handler, or children ignored) must not take the
    // program's exit status away from the watch.
    signal(SIGCHLD, SIG_DFL);
    pid_t program = fork();
    if (program == 0) execChild(args.data(), workingFolder.c_str(), toMiddle.writeEnd());
    toMiddle.closeWrite();
    if (program < 0) {
      sendReport(toParent.writeEnd(), {SpawnError::kFork, errno});
      _exit(0);
    }
    SpawnError result = readReport(toMiddle.readEnd());
    if (result.ok() && watch) result = watchStart(program, toolName.c_str(), boundMs);
    if (!result.ok()) sendReport(toParent.writeEnd(), result);
    _exit(0);
  }
  toParent.closeWrite();
  toMiddle.closeWrite();
  toMiddle.closeRead();
  SpawnError result = readReport(toParent.readEnd());
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
