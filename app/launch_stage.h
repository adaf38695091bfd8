#pragma once
// The launch stage: starts the chosen application once its files are current. Warns about
// files that need an update, optionally copies the program's folder to a fresh temporary
// folder, and asks the shell to start the program, trying three ways in turn.
// Window thread only, inside the install run's tick.

#include <functional>
#include <string>
#include <vector>

#include "platform/view.h"

namespace zentro {

struct LaunchInputs {
  std::string busObjUrl;       // the business-object URL with the token as user information
  std::string loginToken;
  std::string commonFolder;    // the started program's working folder (unless run from a copy)
  std::string warnIfUpdates;   // "W" or "A" turns the out-of-date warning on
  std::string launchFileName;  // FileName of the launch record
  // The deployment's working folders: the program must be launchFileName directly in one.
  std::vector<std::string> programFolders;
  bool runFromTemp = false;
  bool isUpdateAdmin = false;
  long updateCount = 0;
};

// Runs the stage for the program at `targetPath`, which becomes the copy's path when the
// program runs from a temporary copy. Returns once the program has been started. Throws
// RuntimeError (number = the last shell code, 8 for a code of 0; source = the program's base
// name; description = one line per failed attempt) when all three attempts fail, and
// (number 5, description kLaunchRefused) without starting anything when `targetPath` is not a
// bare, safe launchFileName in one of the programFolders.
void runLaunchStage(View& view, const LaunchInputs& inputs, std::string& targetPath);

// The shell call the stage makes (platform::shellExecute's signature): verb, file, parameters,
// working folder, show command; a result above 32 means started.
using ShellExecuteFn = std::function<int(const std::string& verb, const std::string& file,
                                         const std::string& parameters,
                                         const std::string& workingFolder, int showCommand)>;
// As above with another shell, for shell results the platform cannot produce on demand.
void runLaunchStage(View& view, const LaunchInputs& inputs, std::string& targetPath,
                    const ShellExecuteFn& shellExecute);

// Whether the second login's answer can serve as the login token: not empty, and no quote,
// blank or control character, any of which would add arguments of the server's choosing to
// the launched program's command line.
bool isUsableLoginToken(const std::string& token);

// The out-of-date warning's text; "" when no warning is due.
std::string outOfDateWarning(const LaunchInputs& inputs);

// The code in decimal, " : " and the shell's text for it ("2 : File Not Found").
std::string ShellExecuteErrorText(long code);

// Copies every file (no subfolders) of the folder holding `path` into a new folder
// "CVTEMP_" + YYYYMMDDHHMMSS + "_" + five-digit counter under the user's temporary folder and
// returns that folder with a trailing separator. "" when no folder could be created within
// 1,000 names or a file could not be copied.
std::string CopyToTempFolder(const std::string& path);

}  // namespace zentro
