#pragma once
// Placing a downloaded file by its install type, running programs, registering components.
// Window thread; RunAndWait blocks it until the program ends.

#include <string>

namespace zentro {

// Install types of the install-file record.
enum InstallType : int {
  kInstallRegister = 1,   // replace the target, then register it as a component
  kInstallReplace = 2,    // replace the target
  kInstallRun = 3,        // start the download as a program, no wait
  kInstallRuntime = 4,    // run it as a runtime installer and wait
  kInstallWithVersion = 5 // replace the target and write its ".ver" side file
};

// Places `downloadedPath` at `targetPath` according to `installType`. Replacement is atomic:
// the old target stays in place unless the new file fully replaced it. Sets `updateBlocked`
// when the target cannot be replaced (in use, no rights, download missing) or a recognised
// runtime installer exits with 3010. `commonFolder` holds the component registrar. An empty
// `downloadedPath` means nothing was delivered: the types that replace a target block, the
// others do nothing.
void InstallFile(const std::string& downloadedPath, int installType, const std::string& targetPath,
                 const std::string& serverVersion, const std::string& commonFolder,
                 bool& updateBlocked);

// Registers a component silently with commonFolder's "regsvr32.exe"; result not examined.
void RegisterComponent(const std::string& path, const std::string& commonFolder);

}  // namespace zentro
