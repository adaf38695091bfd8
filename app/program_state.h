#pragma once
// The program-wide state of one run of the window. Every value lives until the window
// unloads; the Part of the window's logic named beside each group writes it, later ones
// read it. Window thread only.

#include <string>

#include "installer/run_state.h"
#include "remote/table.h"

namespace zentro {

struct ProgramState {
  // Start-up.
  bool useProfile = false;
  std::string baseUrl;
  bool sharedEnvironment = false;
  std::string warnIfUpdates;
  bool runFromTemp = false;
  bool commandLineLogin = false;
  Table configRecordset;

  // Working folders.
  WorkingFolders folders;

  // Login flow.
  std::string filerCode;
  std::string loginName;
  std::string loginPassword;
  std::string loginServersXml;
  std::string deploymentsXml;
  Table loginServers;
  Table deployments;
  Table deploymentChoices;

  // Deployment start.
  std::string loginToken;
  std::string busObjUrl;
  int updateCheckAnswer = 0;  // 6 = the update check runs, 7 = it does not
  bool customGroupCurrent = true;
  std::string installGroupKey;
  std::string customGroupKey;
  std::string installGroupServerStamp;
  std::string customGroupServerStamp;
  std::string installGroupLocalStamp;
  std::string customGroupLocalStamp;
  std::string machineNotes;

  // Install run values shared with the installer.
  InstallSession install;
};

}  // namespace zentro
