#pragma once
// The program-wide state of one run of the window. Every value lives until the window
// unloads. Beside each value: the step that sets it and the steps that read it. The steps are
// Form_Load (form_login.cpp), the login attempt of cmdLogin_Click (login_flow.cpp), the
// deployment start (StartDeployment, deployment_start.cpp), the install run (installer/),
// the launch stage (launch_stage.cpp) and Form_Unload. A later login or deployment start
// overwrites what the earlier one set. Window thread only.

#include <exception>
#include <string>

#include "installer/run_state.h"
#include "remote/table.h"

namespace zentro {

struct ProgramState {
  // Set by LoadConfig (before the window exists, or as FrmLogin is made), from the command
  // line and the configuration file; commandLineLogin by Form_Load.
  std::exception_ptr configFailure;  // read by Form_Load, which reports it as its own
  bool useProfile = false;         // read by InitFolders (LoadConfig, computeFolders)
  std::string baseUrl;             // read by fetchLoginLists
  bool sharedEnvironment = false;  // read by Form_Load's boxes, decideUpdateCheck, Form_Unload
  std::string warnIfUpdates;       // read by the launch stage
  bool runFromTemp = false;        // read by the launch stage
  bool commandLineLogin = false;   // read by the login attempt and the deployment start
  Table configRecordset;           // read by decideUpdateCheck (update administrators)

  // Base folders set by LoadConfig, the deployment's folders by computeFolders. Read by the
  // stamp check, the machine report, the install run, the launch stage and the cache refresh.
  WorkingFolders folders;

  // Set by the login attempt (takeLoginValues); sent again by secondLogin.
  std::string filerCode;
  std::string loginName;       // also read by decideUpdateCheck
  std::string loginPassword;
  // Set by fetchLoginLists; read by loadLoginServers and loadDeployments.
  std::string loginServersXml;
  std::string deploymentsXml;
  // Set by loadLoginServers; walked by collectValidDeployments.
  Table loginServers;
  // Set by loadDeployments; the deployment start finds the chosen row in it and reads that
  // row's fields (folders, URL, type, groups, checkForUpdates).
  Table deployments;
  // Built by collectValidDeployments; positioned by cmdLogin_Click or cmdRunVersion_Click on
  // the deployment that StartDeployment runs.
  Table deploymentChoices;

  // Set by secondLogin. The token is sent with every later call of the start; putTokenIntoBusObjUrl
  // adds it to busObjUrl, and the launch stage passes both to the application.
  std::string loginToken;
  std::string busObjUrl;
  // Set by decideUpdateCheck: 6 = the update check runs, 7 = it does not. Read by
  // checkUpdateStamps and by the machine report's admin-access probe.
  int updateCheckAnswer = 0;
  // Set by checkUpdateStamps. The keys and server stamps are read again by the install run's
  // end (WriteUpdateStamps, after a complete update); the local stamps only there.
  bool customGroupCurrent = true;
  std::string installGroupKey;
  std::string customGroupKey;
  std::string installGroupServerStamp;
  std::string customGroupServerStamp;
  std::string installGroupLocalStamp;
  std::string customGroupLocalStamp;
  // Set and sent by reportMachine.
  std::string machineNotes;

  // The values the deployment start prepares for the install run (run_state.h).
  InstallSession install;
};

}  // namespace zentro
