#include "app/launch_stage.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/launch_texts.h"
#include "installer/count_format.h"
#include "installer/safe_names.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "platform/run_log.h"
#include "platform/runtime_error.h"
#include "platform/shell.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
namespace texts = launch_texts;

struct Attempt {
  std::string_view verb;
  std::string_view failureLine;
};
constexpr Attempt kAttempts[] = {
    {texts::kVerbNone, texts::kAttempt1},
    {texts::kVerbRunAs, texts::kAttempt2},
    {texts::kVerbOpen, texts::kAttempt3},
};

std::string fiveDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%05d", n);
  return buf;
}

// Copies the regular files of `source` (a folder path ending with the separator) into `copy`.
// Any failure, listing the folder included, is a failed copy (the program then starts in
// place), never an error of the launch.
bool copyFiles(const std::string& source, const std::string& copy) {
  std::error_code ec;
  for (fs::directory_iterator it(platform::pathFromUtf8(source), ec), end; it != end;
       it.increment(ec)) {
    if (ec) break;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;  // folders are not copied
    const std::string name = platform::utf8FromPath(it->path().filename());
    if (name.empty() || !fs::copy_file(platform::pathFromUtf8(source + name),
                                       platform::pathFromUtf8(copy + name),
                                       fs::copy_options::overwrite_existing, ec)) {
      if (!ec) ec = std::make_error_code(std::errc::invalid_argument);
      break;
    }
  }
  if (ec) {
    logLine(LogLevel::Warning, "cannot copy " + source + " for the launch: " + ec.message());
    return false;
  }
  return true;
}

// The launch record follows the rules of every other entry: a bare file name in a folder of
// the placeholder table. Anything else would start a program of the server's choosing
// anywhere on the machine, and hand it the login token.
bool isDeploymentProgram(const LaunchInputs& inputs, const std::string& targetPath) {
  if (!isSafeFileName(inputs.launchFileName)) return false;
  for (const std::string& folder : inputs.programFolders) {
    if (!folder.empty() && targetPath == platform::joinPath(folder, inputs.launchFileName)) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string ShellExecuteErrorText(long code) {
  std::string_view meaning;
  switch (code) {
    case 2: meaning = "File Not Found"; break;
    case 3: meaning = "Path Not Found"; break;
    case 5: meaning = "Access Denied"; break;
    case 8: meaning = "Not Enough Memory"; break;
    case 11: meaning = "Bad Format"; break;
    case 26: meaning = "Sharing Violation"; break;
    case 27: meaning = "Filename Association Incomplete or Invalid"; break;
    case 28: meaning = "DDE Request Timeout"; break;
    case 29: meaning = "DDE Transaction Failed"; break;
    case 30: meaning = "DDE Busy"; break;
    case 31: meaning = "No Application Associated With The Given Filename Extension"; break;
    case 32: meaning = "DLL Not Found"; break;
    default: meaning = texts::kUnknownErrorCode; break;
  }
  return std::to_string(code) + std::string(texts::kCodeSeparator) + std::string(meaning);
}

bool isUsableLoginToken(const std::string& token) {
  for (unsigned char c : token) {
    if (c < 0x20 || c == 0x7F || c == ' ' || c == '"' || c == '\'') return false;
  }
  return !token.empty();
}

std::string outOfDateWarning(const LaunchInputs& inputs) {
  if (inputs.updateCount <= 0 || inputs.isUpdateAdmin) return {};
  const bool admin = inputs.warnIfUpdates == texts::kWarnAdmin;
  if (!admin && inputs.warnIfUpdates != texts::kWarnAlways) return {};
  std::string warning = std::string(texts::kWarningStart) + formatCount(inputs.updateCount) +
                        std::string(texts::kWarningFile);
  if (inputs.updateCount != 1) warning += texts::kWarningPluralS;
  warning += texts::kWarningNeeding;
  if (admin) warning += std::string(texts::kTwoCr) + std::string(texts::kWarningNotifyAdmin);
  return warning;
}

std::string CopyToTempFolder(const std::string& path) {
  const char separator = platform::pathSeparator();
  const std::string full = platform::fullPathName(path);
  if (full.empty()) return {};
  const std::size_t last = full.rfind(separator);
  std::string source = last == std::string::npos ? std::string() : full.substr(0, last + 1);
  if (source.empty() || source.back() != separator) source += separator;

  std::string root = platform::tempPath();
  if (root.empty()) return {};
  if (root.back() != separator) root += separator;
  const std::string prefix = root + std::string(texts::kCopyPrefix) + platform::localTimeStamp() +
                             std::string(texts::kCopyStampSeparator);

  // The counter is bounded: where no folder can be made at all, counting on would never end.
  std::string folder;
  for (int n = 0; n < texts::kCopyFolderAttempts; ++n) {
    if (platform::createFolder(prefix + fiveDigits(n))) {
      folder = prefix + fiveDigits(n);
      break;
    }
  }
  if (folder.empty()) {
    logLine(LogLevel::Warning, "no temporary launch folder could be created under " + root);
    return {};
  }
  const std::string copy = folder + separator;
  if (!copyFiles(source, copy)) {
    // A half-filled copy is of no use to anyone; the program starts in place instead.
    std::error_code ec;
    fs::remove_all(platform::pathFromUtf8(folder), ec);
    return {};
  }
  return copy;
}

void runLaunchStage(View& view, const LaunchInputs& inputs, std::string& targetPath) {
  runLaunchStage(view, inputs, targetPath, platform::shellExecute);
}

void runLaunchStage(View& view, const LaunchInputs& inputs, std::string& targetPath,
                    const ShellExecuteFn& shellExecute) {
  if (!isDeploymentProgram(inputs, targetPath)) {
    logLine(LogLevel::Error, "launch record refused: not a file in the deployment's folders");
    throw RuntimeError(texts::kLaunchRefusedNumber, platform::programBaseName(),
                       std::string(texts::kLaunchRefused));
  }
  const std::string warning = outOfDateWarning(inputs);
  if (!warning.empty()) view.messageBox(warning, Buttons::Ok, Icon::None, std::string());

  // One quoted argument: the URL (with the token as user information), a space, the token.
  const std::string parameters = "\"" + inputs.busObjUrl + " " + inputs.loginToken + "\"";
  std::string launchFailureText;
  std::string workingFolder = inputs.commonFolder;

  if (inputs.runFromTemp) {
    const std::string copyFolder = CopyToTempFolder(targetPath);
    if (!copyFolder.empty()) {
      workingFolder = copyFolder;
      targetPath = copyFolder + platform::pathSeparator() + inputs.launchFileName;
    }
  }

  // Errors of the shell calls are recorded under their attempt instead of ending the program.
  long lastCode = 0;
  for (const Attempt& attempt : kAttempts) {
    std::string error;
    bool raised = false;
    try {
      lastCode = shellExecute(std::string(attempt.verb), targetPath, parameters,
                                        workingFolder, texts::kShowNormal);
    } catch (const std::exception& e) {
      raised = true;
      error = e.what();
    }
    if (!raised && lastCode > texts::kShellSuccessAbove) {
      logLine(LogLevel::Info, "started " + targetPath + " in " + workingFolder);
      return;
    }
    launchFailureText += std::string(attempt.failureLine) + ShellExecuteErrorText(lastCode) +
                         std::string(texts::kCr);
    if (raised) {
      launchFailureText += std::string(texts::kAttemptError) + error + std::string(texts::kCr);
    }
  }
  logLine(LogLevel::Error, "cannot start " + targetPath + ": " + launchFailureText);
  throw RuntimeError(lastCode == 0 ? texts::kOutOfResourcesNumber : lastCode,
                     platform::programBaseName(), launchFailureText);
}

}  // namespace zentro
