#pragma once
// The benchmarks' child processes: programs they start (the reference service, curl, the
// programs whose start-up they time) and forked copies of themselves that run one measured
// part. Every wait has a bound: a child that overruns it is killed and counts as failed. A
// child still running when its Child goes away is killed too, so an early return leaves
// nothing behind. The time of a run is taken from just before the start to the moment the
// child has ended; its peak resident set and CPU time come from wait4.

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace zentro::bench {

struct ChildResult {
  bool ok = false;         // ended by itself with exit code 0 within the bound
  bool timedOut = false;   // killed at the bound
  double seconds = 0;      // from the start until it had ended
  long maxRssKiB = 0;      // peak resident set
  double cpuSeconds = 0;   // user + system, all threads
};

struct SpawnOptions {
  std::optional<std::vector<std::string>> env;  // none: this process's environment
  std::filesystem::path stdoutPath;             // empty: this process's standard output;
                                                // otherwise a new file (created exclusively)
};

class Child {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts argv[0] (looked up on PATH when it names no folder).
  static Child spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {}) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    if (options.env) {
      for (const auto& e : *options.env) envp.push_back(const_cast<char*>(e.c_str()));
      envp.push_back(nullptr);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.stdoutPath.empty()) {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.stdoutPath.c_str(),
                                       O_WRONLY | O_CREAT | O_EXCL, 0600);
    }
    Child child;
    std::fflush(nullptr);
    child.started_ = Clock::now();
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(),
                                options.env ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc == 0) child.adopt(pid);
    return child;
  }

  // Runs `body` in a forked copy of this process; what it returns is the exit code.
  static Child fork(const std::function<int()>& body) {
    Child child;
    std::fflush(nullptr);
    child.started_ = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) _exit(body());
    if (pid > 0) child.adopt(pid);
    return child;
  }

  Child() = default;
  Child(Child&& other) noexcept { *this = std::move(other); }
  Child& operator=(Child&& other) noexcept {
    std::swap(pid_, other.pid_);
    std::swap(pidfd_, other.pidfd_);
    std::swap(started_, other.started_);
    return *this;
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { stop(std::chrono::seconds(0)); }

  bool running() const { return pid_ > 0; }

  // Waits until the child has ended, at most `limit`, and kills it when it overruns.
  ChildResult wait(Clock::duration limit) {
    ChildResult r;
    if (pid_ <= 0) return r;
    const auto deadline = Clock::now() + limit;
    int status = 0;
    rusage usage{};
    while (!reaped(status, usage, WNOHANG)) {
      if (Clock::now() >= deadline) {
        ::kill(pid_, SIGKILL);
        reaped(status, usage, 0);
        r.timedOut = true;
        break;
      }
      sleepUntilEnded(deadline);
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    release();
    r.ok = !r.timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.maxRssKiB = usage.ru_maxrss;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return r;
  }

  // Waits until `path` exists (true), or the child has ended or `limit` has passed (false).
  bool waitForFile(const std::filesystem::path& path, Clock::duration limit) const {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      std::error_code ec;
      if (std::filesystem::exists(path, ec)) return true;
      if (pid_ <= 0 || Clock::now() >= deadline) return false;
      siginfo_t info{};
      if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
          info.si_pid == pid_) {
        return false;  // ended without writing it
      }
      sleepUntilEnded(std::min(deadline, Clock::now() + std::chrono::milliseconds(20)));
    }
  }

  // Asks the child to end (SIGTERM) and waits at most `limit` before killing it.
  void stop(Clock::duration limit = std::chrono::seconds(10)) {
    if (pid_ <= 0) return;
    ::kill(pid_, limit.count() > 0 ? SIGTERM : SIGKILL);
    wait(limit);
  }

 private:
  void adopt(pid_t pid) {
    pid_ = pid;
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));  // -1: poll by sleeping
  }
  void release() {
    if (pidfd_ >= 0) ::close(pidfd_);
    pidfd_ = -1;
    pid_ = -1;
  }
  bool reaped(int& status, rusage& usage, int flags) {
    for (;;) {
      const pid_t done = ::wait4(pid_, &status, flags, &usage);
      if (done == pid_) return true;
      if (done == 0) return false;
      if (errno != EINTR) {  // not our child any more: nothing left to wait for
        status = -1;
        return true;
      }
    }
  }
  // Sleeps until the child has ended or `until`; a pidfd wakes up at once, without one the
  // sleep is short.
  void sleepUntilEnded(Clock::time_point until) const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (pidfd_ >= 0) {
      pollfd p{pidfd_, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 1000)));
    } else {
      ::usleep(200);
    }
  }

  pid_t pid_ = -1;
  int pidfd_ = -1;
  Clock::time_point started_{};
};

// Runs a program to its end, at most `limit`.
inline ChildResult runChild(const std::vector<std::string>& argv, Child::Clock::duration limit,
                            const SpawnOptions& options = {}) {
  return Child::spawn(argv, options).wait(limit);
}

// Runs `body` in a forked copy of this process to its end, at most `limit`.
inline ChildResult runInChild(const std::function<int()>& body, Child::Clock::duration limit) {
  return Child::fork(body).wait(limit);
}

// The lines of a file a child wrote, at most `maxBytes` of it.
inline std::vector<std::string> readLines(const std::filesystem::path& path,
                                          std::size_t maxBytes = 1 << 20) {
  std::ifstream in(path, std::ios::binary);
  std::string text(maxBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace zentro::bench
