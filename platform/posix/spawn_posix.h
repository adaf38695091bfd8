#pragma once
// Process start for the Linux services (shell, fonts). Internal to platform/posix.
// Callable from any thread; only async-signal-safe calls run between fork and exec.

#include <string>
#include <vector>

namespace zentro::platform::posix {

// Why a start failed: the stage and the errno it failed with. ok() when the program runs.
struct SpawnError {
  enum Stage { kNone, kFork, kChdir, kExec };
  Stage stage = kNone;
  int error = 0;
  bool ok() const { return stage == kNone; }
};

// Starts argv[0] (a path; no PATH search) with argv in `workingFolder` ("" = the caller's
// folder) and returns once the exec has succeeded or failed. The program is detached (a
// grandchild, re-parented to init), so nothing has to reap it.
SpawnError spawnDetached(const std::vector<std::string>& argv, const std::string& workingFolder);

// Starts argv[0] like spawnDetached but as a direct child and waits for it without a time
// limit. `exitCode` receives the exit status, or 128 + signal number for a killed program.
SpawnError spawnAndWait(const std::vector<std::string>& argv, int& exitCode);

// The first executable file named `name` in $PATH; "" when none. Names with a '/' are
// returned unchanged.
std::string findInPath(const std::string& name);

}  // namespace zentro::platform::posix
