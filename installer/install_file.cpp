#include "installer/install_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "installer/install_commands.h"
#include "platform/file_lock.h"
#include "platform/file_mode.h"
#include "platform/paths.h"
#include "platform/shell.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
namespace cmd = install_commands;

constexpr char kStagingPrefix[] = ".";
constexpr char kStagingSuffix[] = ".zentro-new";

// The program path as the first item of a command line. Quoted, unlike the system's own
// command lines, so a path with blanks cannot start a different program.
std::string quotedProgram(const std::string& path) { return "\"" + path + "\""; }

std::string upperCased(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// A file sent to be run arrives as plain data; on systems with an execute right it needs one.
void makeRunnable(const std::string& path) {
  std::error_code ec;
  fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add, ec);
}

// Moves `source` over `target` in one step, so the target is always either the old file or the
// new one. Across file systems the source is first copied beside the target. The source stays
// where it is when the move fails.
bool moveIntoPlace(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  fs::rename(source, target, ec);
  if (!ec) return true;
  if (ec != std::errc::cross_device_link) return false;

  fs::path staging = target.parent_path() /
                     (kStagingPrefix + target.filename().string() + kStagingSuffix);
  fs::remove(staging, ec);
  fs::copy_file(source, staging, ec);
  if (ec) {
    fs::remove(staging, ec);
    return false;
  }
  fs::rename(staging, target, ec);
  if (ec) {
    fs::remove(staging, ec);
    return false;
  }
  fs::remove(source, ec);
  return true;
}

// Replaces the target with the download. False (nothing changed) when the download is missing
// or the target is in use or cannot be replaced. "In use" is the system's own answer: on Windows
// the replacing move fails with a sharing violation; Linux lets a file be replaced while a
// program has it open, so there the target counts as in use when another holder has an
// exclusive advisory lock on it (platform::fileInUse), and as not replaceable whenever the
// rename fails (read-only or missing folder, no rights, a folder of that name).
bool replaceTarget(const std::string& downloadedPath, const std::string& targetPath) {
  std::error_code ec;
  if (!fs::is_regular_file(downloadedPath, ec)) return false;
  const fs::file_status old = fs::symlink_status(targetPath, ec);
  const bool hadTarget = fs::exists(old);
  if (hadTarget) {
    if (platform::fileInUse(targetPath)) return false;
    // The read-only attribute would refuse the replacement on Windows.
    fs::permissions(targetPath, fs::perms::owner_write, fs::perm_options::add, ec);
    // A program keeps its execute rights across an update.
    const fs::perms exec = old.permissions() &
                           (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    if (fs::is_regular_file(old) && exec != fs::perms::none) {
      fs::permissions(downloadedPath, exec, fs::perm_options::add, ec);
    }
  }
  if (!moveIntoPlace(downloadedPath, targetPath)) return false;
  // A delivered program must be runnable where it lands (Windows runs any program file).
  platform::makeRunnableIfProgram(targetPath);
  return true;
}

// The side file holds the server version on one line. Written to a temporary name and renamed,
// so a reader sees the old line, no file, or the new line.
void writeSideFile(const std::string& targetPath, const std::string& serverVersion) {
  const std::string side = targetPath + std::string(cmd::kSideFileSuffix);
  std::error_code ec;
  fs::remove(side, ec);
  const std::string staging = side + kStagingSuffix;
  {
    std::ofstream out(staging, std::ios::binary | std::ios::trunc);
    out << serverVersion << cmd::kLineEnd;
    out.flush();
    if (!out) {
      out.close();
      fs::remove(staging, ec);
      return;
    }
  }
  fs::rename(staging, side, ec);
  if (ec) fs::remove(staging, ec);
}

void runRuntimeInstaller(const std::string& downloadedPath, bool& updateBlocked) {
  const std::string upper = upperCased(downloadedPath);
  std::string commandLine = quotedProgram(downloadedPath);
  bool recognised = false;
  for (const cmd::RuntimeInstaller& installer : cmd::kRuntimeInstallers) {
    if (upper.find(installer.name) != std::string::npos) {
      commandLine += installer.arguments;
      recognised = true;
      break;
    }
  }
  makeRunnable(downloadedPath);
  const int exitCode = platform::runAndWait(commandLine);
  // Other installers' exit codes, 3010 included, are not examined.
  if (recognised && exitCode == platform::reportedExitCode(cmd::kRestartExitCode)) {
    updateBlocked = true;
  }
}

}  // namespace

void InstallFile(const std::string& downloadedPath, int installType, const std::string& targetPath,
                 const std::string& serverVersion, const std::string& commonFolder,
                 bool& updateBlocked) {
  switch (installType) {
    case kInstallRegister:
      if (replaceTarget(downloadedPath, targetPath)) {
        RegisterComponent(targetPath, commonFolder);
      } else {
        updateBlocked = true;
      }
      break;
    case kInstallReplace:
      if (!replaceTarget(downloadedPath, targetPath)) updateBlocked = true;
      break;
    case kInstallRun:
      // Not waited for and not observed, as the system's own start: a file that does not
      // start changes nothing.
      makeRunnable(downloadedPath);
      platform::startProgram(quotedProgram(downloadedPath));
      break;
    case kInstallRuntime:
      runRuntimeInstaller(downloadedPath, updateBlocked);
      break;
    case kInstallWithVersion:
      if (replaceTarget(downloadedPath, targetPath)) {
        writeSideFile(targetPath, serverVersion);
      } else {
        updateBlocked = true;
      }
      break;
    default:
      // Any other type: the download stays in the temp folder.
      break;
  }
}

void RegisterComponent(const std::string& path, const std::string& commonFolder) {
  const std::string commandLine =
      quotedProgram(platform::joinPath(commonFolder, std::string(cmd::kRegistrar))) +
      std::string(cmd::kRegistrarSilent) + "\"" + path + "\"";
  // The registrar's exit code is not examined: a component that does not register is not
  // worth stopping the update for.
  platform::runAndWait(commandLine);
}

}  // namespace zentro
