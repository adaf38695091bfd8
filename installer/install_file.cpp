#include "installer/install_file.h"

#include <filesystem>
#include <system_error>

#include "installer/install_commands.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/file_mode.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "remote/text_case.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
namespace cmd = install_commands;

// The program path as the first item of a command line. Quoted, so a path with blanks cannot
// start a different program.
std::string quotedProgram(const std::string& path) { return "\"" + path + "\""; }

// Replaces the target with the download. False (nothing changed) when the download is missing
// or the target is in use or cannot be replaced. "In use" is what the platform says: on Windows
// the replacing move fails with a sharing violation; Linux lets a file be replaced while a
// program has it open, so there the target counts as in use when another holder has an
// exclusive advisory lock on it (platform::fileInUse), and as not replaceable whenever the
// move fails (read-only or missing folder, no rights, a folder of that name). The move never
// copies onto the target: across volumes the download is staged beside it first.
bool replaceTarget(const std::string& downloadedPath, const std::string& targetPath) {
  std::error_code ec;
  const fs::path download = platform::pathFromUtf8(downloadedPath);
  if (platform::entryKind(downloadedPath) != platform::EntryKind::File) return false;
  const fs::file_status old = fs::symlink_status(platform::pathFromUtf8(targetPath), ec);
  if (fs::exists(old)) {
    if (platform::fileInUse(targetPath)) return false;
    // The read-only attribute would refuse the replacement on Windows.
    platform::clearReadOnly(targetPath);
    // A program keeps its execute rights across an update.
    const fs::perms exec = old.permissions() &
                           (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    if (fs::is_regular_file(old) && exec != fs::perms::none) {
      fs::permissions(download, exec, fs::perm_options::add | fs::perm_options::nofollow, ec);
    }
  }
  if (!platform::replaceFile(downloadedPath, targetPath)) return false;
  // A delivered program must be runnable where it lands (Windows runs any program file).
  platform::makeRunnableIfProgram(targetPath);
  return true;
}

// The side file holds the server version on one line. Written to a new file beside it and
// moved over it, so a reader sees the old line, no file, or the new line.
void writeSideFile(const std::string& targetPath, const std::string& serverVersion) {
  const std::string side = targetPath + std::string(cmd::kSideFileSuffix);
  platform::removeEntry(side);
  platform::StagedFile staged(side);
  if (staged.write(serverVersion) && staged.write(cmd::kLineEnd)) staged.commit();
}

void runRuntimeInstaller(const std::string& downloadedPath, bool& updateBlocked) {
  const std::string upper = upperCase(downloadedPath);
  std::string commandLine = quotedProgram(downloadedPath);
  bool recognised = false;
  for (const cmd::RuntimeInstaller& installer : cmd::kRuntimeInstallers) {
    if (upper.find(installer.name) != std::string::npos) {
      commandLine += installer.arguments;
      recognised = true;
      break;
    }
  }
  platform::makeRunnableIfProgram(downloadedPath);
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
      // Started, not waited for and not observed: an entry that runs a file asks for nothing
      // more, so a file that does not start changes nothing.
      if (downloadedPath.empty()) break;
      platform::makeRunnableIfProgram(downloadedPath);
      platform::startProgram(quotedProgram(downloadedPath));
      break;
    case kInstallRuntime:
      if (!downloadedPath.empty()) runRuntimeInstaller(downloadedPath, updateBlocked);
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
