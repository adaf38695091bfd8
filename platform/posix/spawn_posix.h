#pragma once
// Process start for the Linux services (shell, fonts). Internal to platform/posix.
// Callable from any thread; only async-signal-safe calls run between fork and exec.

#include <chrono>
#include <string>
#include <vector>

namespace zentro::platform::posix {

// Why a start failed: the stage and the errno it failed with (for kExited, the exit status of
// a watched tool that gave up). ok() when the program runs.
struct SpawnError {
  enum Stage { kNone, kFork, kChdir, kExec, kExited };
  Stage stage = kNone;
  int error = 0;
  bool ok() const { return stage == kNone; }
};

// A start through a helper tool (pkexec, xdg-open) whose own start proves nothing: the tool
// can still give up (authentication refused, no association). After its exec the tool is
// watched for at most `bound`: once its process name is no longer `toolName` it has handed
// over to the program it started, which counts as started; an exit before that is reported
// as kExited with its status; still running at the bound counts as started.
struct StartWatch {
  std::string toolName;  // the tool's file name (its process name, at most 15 characters)
  std::chrono::milliseconds bound{0};
};

// Starts argv[0] (a path; no PATH search) with argv in `workingFolder` ("" = the caller's
// folder) and returns once the exec has succeeded or failed, or, with a `watch`, once the
// watch has decided. The program is detached (a grandchild, re-parented to init), so nothing
// has to reap it.
SpawnError spawnDetached(const std::vector<std::string>& argv, const std::string& workingFolder,
                         const StartWatch* watch = nullptr);

// Starts argv[0] like spawnDetached but as a direct child and waits for it without a time
// limit. `exitCode` receives the exit status, or 128 + signal number for a killed program.
SpawnError spawnAndWait(const std::vector<std::string>& argv, int& exitCode);

// The first executable file named `name` in $PATH; "" when none. Names with a '/' are
// returned unchanged.
std::string findInPath(const std::string& name);

}  // namespace zentro::platform::posix
