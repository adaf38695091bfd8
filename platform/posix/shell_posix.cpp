// Starting programs on Linux in place of ShellExecuteA / CreateProcessA.
// shellExecute keeps the shell's result convention: a number above 32 when the program was
// started, else the shell's error codes, mapped from errno:
//   ENOENT (file) 2; ENOENT (folder), ENOTDIR 3; EACCES, EPERM 5; ENOMEM, EAGAIN 8; ENOEXEC 11;
//   a file that is no program and no xdg-open to open it with 31;
//   "runas" without pkexec 5 (the shell's answer when elevation is refused).
#include "platform/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/spawn_posix.h"

namespace zentro::platform {
namespace {

using posix::SpawnError;

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

bool isProgram(const struct stat& st, const std::string& path) {
  return S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0 &&
         access(path.c_str(), X_OK) == 0;
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

  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    int error = errno;
    return shellCodeForErrno(error, error == ENOENT && !isFolder(parentOf(path)));
  }

  std::vector<std::string> argv;
  if (isProgram(st, path)) {
    argv.push_back(path);
    for (std::string& a : splitCommandLine(parameters)) argv.push_back(std::move(a));
  } else {
    // A document (or a folder): the desktop's association opens it, as the shell would.
    std::string opener = posix::findInPath(kOpenTool);
    if (opener.empty()) return kShellNoAssociation;
    argv = {opener, path};
  }
  if (runAs) {
    std::string elevate = posix::findInPath(kElevationTool);
    if (elevate.empty()) return kShellAccessDenied;
    argv.insert(argv.begin(), elevate);
  }

  SpawnError result = posix::spawnDetached(argv, workingFolder);
  if (result.ok()) return kShellStarted;
  if (result.stage == SpawnError::kChdir) return kShellPathNotFound;
  if (result.stage == SpawnError::kFork) return kShellOutOfMemory;
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
  // Fire and forget, as the system's own start does: the outcome is not observed.
  posix::spawnDetached(argv, {});
}

}  // namespace zentro::platform
