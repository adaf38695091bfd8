// Starting programs on Linux in place of ShellExecuteA / CreateProcessA.
// shellExecute keeps the shell's result convention: a number above 32 when the program was
// started, else the shell's error codes, mapped from errno:
//   ENOENT (file) 2; ENOENT (folder), ENOTDIR 3; EACCES, EPERM 5; ENOMEM, EAGAIN 8; ENOEXEC 11;
//   a file that is no program and nothing to open it with (no xdg-open, or xdg-open giving
//   up: no association) 31;
//   "runas" without pkexec, or pkexec giving up (authentication refused or impossible) 5.
// An argument list longer than the kernel takes (E2BIG) raises RuntimeError(kCommandLineTooLong).
#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/posix/spawn_posix.h"
#include "platform/runtime_error.h"

namespace zentro::platform {
namespace {

using posix::SpawnError;
using namespace std::chrono_literals;

constexpr int kShellStarted = 42;
constexpr int kShellFileNotFound = 2;
constexpr int kShellPathNotFound = 3;
constexpr int kShellAccessDenied = 5;
constexpr int kShellOutOfMemory = 8;
constexpr int kShellBadFormat = 11;
constexpr int kShellNoAssociation = 31;

constexpr char kVerbRunAs[] = "runas";
constexpr char kVerbOpen[] = "open";
constexpr char kElevationTool[] = "pkexec";
constexpr char kOpenTool[] = "xdg-open";
// pkexec's own exit statuses when it gives up before starting the program: not authorised or
// no way to ask (127), the dialog dismissed (126).
constexpr int kElevationRefused = 127;
constexpr int kElevationDismissed = 126;
// How long a helper tool is watched before its start counts as the program's: elevation waits
// for the user at the authentication dialog, an opener only for its association lookup.
constexpr std::chrono::milliseconds kElevationBound = 120s;
constexpr std::chrono::milliseconds kOpenBound = 10s;

int shellCodeForErrno(int error, bool forFolder) {
  switch (error) {
    case ENOENT:
      return forFolder ? kShellPathNotFound : kShellFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kShellPathNotFound;
    case EACCES:
    case EPERM:
      return kShellAccessDenied;
    case ENOMEM:
    case EAGAIN:
      return kShellOutOfMemory;
    case ENOEXEC:
      return kShellBadFormat;
    default:
      return kShellFileNotFound;
  }
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A program is a file with an execute right for someone; whether this user may run it is
// the start's answer (5), which elevation can change. Anything else is a document.
bool isProgram(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

// Whether Linux can run the file at all: an ELF image or a "#!" script. Elevation does
// not change a file's format, so "runas" answers a bad one as the plain start would.
bool hasProgramFormat(const std::string& path) {
  char head[4] = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return true;  // unreadable here: the elevated start finds out
  const ssize_t got = ::read(fd, head, sizeof head);
  ::close(fd);
  return (got >= 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0) ||
         (got >= 2 && head[0] == '#' && head[1] == '!');
}

}  // namespace

int shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                 const std::string& workingFolder, int /*showCommand: no meaning here*/) {
  const bool runAs = verb == kVerbRunAs;
  if (!verb.empty() && !runAs && verb != kVerbOpen) return kShellNoAssociation;
  if (file.empty()) return kShellFileNotFound;
  if (!workingFolder.empty() && !isFolder(workingFolder)) return kShellPathNotFound;

  std::string path = file;
  if (path.front() != '/' && !workingFolder.empty()) path = workingFolder + "/" + path;

  // What elevation cannot cure (a missing file or folder, a bad format, a file nobody may
  // run) is answered before elevating, with the code the plain start gives.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    int error = errno;
    return shellCodeForErrno(error, error == ENOENT && !isFolder(parentOf(path)));
  }

  std::vector<std::string> argv;
  posix::StartWatch watch;
  const bool program = isProgram(st);
  if (program) {
    argv.push_back(path);
    for (std::string& a : splitCommandLine(parameters)) argv.push_back(std::move(a));
    if (runAs) {
      if (!hasProgramFormat(path)) return kShellBadFormat;
      std::string elevate = posix::findInPath(kElevationTool);
      if (elevate.empty()) return kShellAccessDenied;
      argv.insert(argv.begin(), elevate);
      watch = {kElevationTool, kElevationBound};
    }
  } else {
    // A document (or a folder): the desktop's association opens it, as the shell would. There
    // is nothing to elevate, so "runas" opens it as the plain start does.
    std::string opener = posix::findInPath(kOpenTool);
    if (opener.empty()) return kShellNoAssociation;
    argv = {opener, path};
    watch = {kOpenTool, kOpenBound};
  }

  SpawnError result =
      posix::spawnDetached(argv, workingFolder, watch.toolName.empty() ? nullptr : &watch);
  if (result.ok()) return kShellStarted;
  if (result.stage == SpawnError::kExited) {
    // The opener has opened the document when it succeeds; pkexec's other statuses are the
    // program's own, so it ran.
    if (!program) return result.error == 0 ? kShellStarted : kShellNoAssociation;
    const bool refused = result.error == kElevationRefused || result.error == kElevationDismissed;
    return refused ? kShellAccessDenied : kShellStarted;
  }
  if (result.stage == SpawnError::kChdir) return kShellPathNotFound;
  if (result.stage == SpawnError::kFork) return kShellOutOfMemory;
  if (result.error == E2BIG) {
    throw RuntimeError(kErrGeneric, "ShellExecute", std::string(kCommandLineTooLong));
  }
  return shellCodeForErrno(result.error, false);
}

int runAndWait(const std::string& commandLine) {
  std::vector<std::string> argv = splitCommandLine(commandLine);
  if (argv.empty()) return -1;
  argv[0] = posix::findInPath(argv[0]);
  if (argv[0].empty()) return -1;
  int exitCode = -1;
  if (!posix::spawnAndWait(argv, exitCode).ok()) return -1;
  return exitCode;
}

int reportedExitCode(int programExitCode) { return programExitCode & 0xFF; }

void startProgram(const std::string& commandLine) {
  std::vector<std::string> argv = splitCommandLine(commandLine);
  if (argv.empty()) return;
  argv[0] = posix::findInPath(argv[0]);
  if (argv[0].empty()) return;
  // Fire and forget: a plain start's outcome is not observed.
  posix::spawnDetached(argv, {});
}

}  // namespace zentro::platform
