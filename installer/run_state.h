#pragma once
// State shared by the deployment start (app/) and the install run (installer/).
// Program-wide values that live until the window unloads; window thread only.

#include <string>

#include "remote/table.h"

namespace zentro {

// The working folders: absolute paths without a trailing separator; "" until computed.
struct WorkingFolders {
  std::string rootFolder;
  std::string companyFolder;
  std::string productFolder;
  std::string tempFolder;
  std::string commonFolder;
  std::string brokerFolder;
  std::string clientFolder;
  std::string systemFolder;
  std::string windowsFolder;
  std::string fontsFolder;
};

// Values the deployment start prepares for the install run, and the install run's own
// current-entry values that the download handling and the launch read.
struct InstallSession {
  // From start-up.
  bool sharedEnvironment = false;
  std::string warnIfUpdates;
  // From the deployment start.
  std::string deploymentCaption;   // "[" + description + "]"
  std::string installFilesUrl;     // base of every download URL
  bool isUpdateAdmin = false;
  bool checkOnly = false;
  bool skipUpdates = false;
  bool hasAdminAccess = false;
  Table installList;
  long updateCount = 0;            // at least 32 bits wide

  // The install run's current entry.
  std::string targetPath;
  std::string currentFileName;
  std::string installedVersion;
  std::string serverVersion;
  int currentInstallType = 0;
  bool currentIsCompressed = false;
  bool currentIsFont = false;
  std::string currentSha256;       // optional hex digest of the entry; "" when none

  // Set when a target cannot be replaced or an installer asks for a restart; never cleared.
  bool updateBlocked = false;
  // Set when any download of this run failed (failed, not found, short, bad hash...):
  // the run then writes no update stamps.
  bool downloadFailed = false;
};

}  // namespace zentro
