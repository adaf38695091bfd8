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

// Values the deployment start (app/deployment_start.cpp) prepares for the install run, and
// the install run's own current-entry values that the download handling, the installing and
// the launch read. Beside each value: the step that sets it and the steps that read it.
struct InstallSession {
  // Set by Form_Load from the configuration; read by the install run (fonts, the
  // installation-error text).
  bool sharedEnvironment = false;

  // Set by the deployment start.
  std::string deploymentCaption;   // "[" + description + "]"; showInstallPanel; read by the
                                   // start's and the install run's status texts
  std::string installFilesUrl;     // reportMachine; the base of every download URL
  bool isUpdateAdmin = false;      // decideUpdateCheck; read by the install run's count and
                                   // summary and by the launch stage's warning
  bool checkOnly = false;          // decideUpdateCheck; the install run only counts
  bool skipUpdates = false;        // showInstallPanel, checkUpdateStamps; the install run
                                   // installs nothing (IsNewerVersion) and writes no stamps
  bool hasAdminAccess = false;     // reportMachine; without it the install run stops
  Table installList;               // fetchInstallList, narrowed by reportMachine; walked by
                                   // the install run, its launch record read by the launch
  long updateCount = 0;            // zeroed by reportMachine, counted by the install run, read
                                   // by the launch stage; at least 32 bits wide

  // Set by the install run for the entry it is at; read by the download handling
  // (download_handler.cpp), the installing (install_downloaded.cpp, install_file.cpp) and,
  // for the launch record, the launch stage (targetPath).
  std::string targetPath;
  std::string currentFileName;
  std::string installedVersion;    // read only by the install run's version decision
  std::string serverVersion;       // also written into the version side file
  int currentInstallType = 0;
  bool currentIsCompressed = false;
  bool currentIsFont = false;
  std::string currentSha256;       // optional hex digest of the entry; "" when none

  // Set by the installing when a target cannot be replaced or an installer asks for a
  // restart; never cleared. The install run stops at it; the exit status reports it.
  bool updateBlocked = false;
  // Set by the install run and the download handling when any download of this run failed
  // (failed, not found, short, bad hash...): the run then writes no update stamps, and the
  // exit status reports it.
  bool downloadFailed = false;
};

}  // namespace zentro
