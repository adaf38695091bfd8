#pragma once
// InitFolders: computes the working folders and creates those that hold the program's own
// files. Never throws; a folder that cannot be created is simply absent. Window thread.

#include <string>

#include "installer/run_state.h"

namespace zentro {

// Base pass (onlyBase): rootFolder, companyFolder, productFolder, tempFolder.
// Full pass: also commonFolder = productFolder/LoginType/DeployFolder (each level created),
// brokerFolder, clientFolder, systemFolder, windowsFolder, fontsFolder. Values of the full
// pass are left untouched by a base pass.
void InitFolders(bool onlyBase, bool useProfile, const std::string& loginType,
                 const std::string& deployFolder, WorkingFolders& folders);

}  // namespace zentro
