// frmLogin: StartDeployment — the second login on the deployment's own server, the update
// decision, the install-file list, the machine report, and the install timer armed last.
#include <optional>
#include <string>
#include <string_view>

#include "app/app_texts.h"
#include "app/config.h"
#include "app/form_login.h"
#include "app/form_login_impl.h"
#include "app/launch_stage.h"
#include "platform/run_log.h"
#include "app/machine_report.h"
#include "app/update_stamps.h"
#include "app/working_folders.h"
#include "installer/safe_names.h"
#include "platform/machine_info.h"
#include "platform/paths.h"
#include "remote/data_space.h"
#include "remote/runtime_error.h"
#include "remote/xml_answer.h"

namespace zentro {
namespace {

constexpr int kAnswerYes = static_cast<int>(Answer::Yes);
constexpr int kAnswerNo = static_cast<int>(Answer::No);

// "INSTALL_" + the id as text; "" for a NULL id (treated as no group). The key names a file in
// the deployment folder, so only a plain whole number becomes one; any other text from the
// server counts as no group too (a full check) and is logged, without the text itself.
std::string GroupKey(const Value& id, std::string_view field) {
  const std::string text = id.toText().value_or("");
  const std::size_t sign = text.starts_with('-') ? 1 : 0;
  if (!text.empty() && (text.size() == sign ||
                        text.find_first_not_of("0123456789", sign) != std::string::npos)) {
    logLine(LogLevel::Warning, std::string(field) + " is not a whole number; no update stamp");
    return {};
  }
  return UpdateStampKey(text);
}

// A folder path given by the server for the deployment (LoginType, DeployFolder), with its
// levels joined by this system's separator; either separator divides levels, so "Broker\2026"
// and "Broker/2026" are the same nested folder. nullopt unless every level is a plain folder
// name (IsSafeFileName): an absolute path, a drive, "..", an empty level or a device would
// leave the root.
std::optional<std::string> localFolderPath(const std::string& text) {
  std::string path;
  for (std::size_t start = 0; !text.empty();) {
    const std::size_t end = text.find_first_of("/\\", start);
    const std::string level = text.substr(start, end == std::string::npos ? end : end - start);
    if (!IsSafeFileName(level)) return std::nullopt;
    if (!path.empty()) path += platform::pathSeparator();
    path += level;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return path;
}

std::string folderField(const Table& table, std::string_view field) {
  const std::string text = table.field(field).toText().value_or("");
  std::optional<std::string> path = localFolderPath(text);
  if (!path) {
    logLine(LogLevel::Error, std::string(field) + " refused: not a folder inside the root folder");
    throw RuntimeError(kErrGeneric, texts::kLoginProgId,
                       std::string(texts::kFolderRefusedStart) + std::string(field) +
                           texts::kFolderRefusedEnd);
  }
  return *path;
}

}  // namespace

void FrmLogin::StartDeployment() {
  ProgramState& s = *state_;
  InstallSession& run = s.install;

  if (s.commandLineLogin) view_.setPanelVisible(Panel::Login, false);
  run.skipUpdates = false;
  s.customGroupCurrent = true;
  view_.setPanelVisible(Panel::Install, true);
  run.deploymentCaption =
      "[" + trimSpaces(s.deploymentChoices.field("LoginDescription").toText().value_or("")) + "]";
  view_.setLabel(Label::Message, run.deploymentCaption + texts::kInitializing);
  view_.repaint();

  const Value chosenId = s.deploymentChoices.field("CVDeploymentID");
  s.deployments.moveFirst();
  if (s.deployments.eof() ||
      !s.deployments.find("CVDeploymentID = " + chosenId.toText().value_or(""), 0)) {
    throw RuntimeError(kErrTable, texts::kLoginProgId, texts::kDeploymentGone);
  }
  logLine(LogLevel::Info, "starting deployment " + chosenId.debugText() + " " +
                              run.deploymentCaption);

  view_.setBarWidth(Bar::Total, 0);
  view_.setBarWidth(Bar::Current, 0);
  view_.repaint();

  const std::string loginType = folderField(s.deploymentChoices, "LoginType");
  const std::string deployFolder = folderField(s.deployments, "DeployFolder");
  InitFolders(false, s.useProfile, loginType, deployFolder, s.folders);

  const std::string storedUrl = s.deployments.field("BusObjURL").toText().value_or("");
  const std::string deploymentType =
      s.deployments.field("DeploymentType").toText().value_or("");
  s.busObjUrl = storedUrl;

  auto deploymentDataSpace = std::make_unique<DataSpace>(impl_->client(), impl_->limits);
  auto deploymentService = deploymentDataSpace->CreateObject(
      deploymentType == "CLIENT" ? texts::kClientProgId : texts::kLoginProgId, s.busObjUrl);

  const std::string ip = GetIpAddresses();
  s.loginToken = deploymentService
                     ->invoke(s.commandLineLogin ? "LoginUserHex" : "LoginUser",
                              {Arg::byRef(s.filerCode), Arg::byRef(s.loginName),
                               Arg::byRef(s.loginPassword), Arg::byVal(ip)})
                     .toText()
                     .value_or("");
  if (!IsUsableLoginToken(s.loginToken)) {
    logLine(LogLevel::Warning, s.loginToken.empty()
                                   ? "second login refused at the deployment's server"
                                   : "second login answered with a text that is no token");
    s.loginToken.clear();
    throw RuntimeError(texts::kLoginCheckErrorNumber, texts::kLoginCheckSource,
                       texts::kLoginCheckDescription);
  }

  run.checkOnly = false;
  run.isUpdateAdmin = false;
  if (s.sharedEnvironment) {
    if (IsUpdateAdminLogin(s.configRecordset, s.loginName)) {
      s.updateCheckAnswer = kAnswerYes;
      run.isUpdateAdmin = true;
    } else {
      s.updateCheckAnswer = kAnswerNo;
      run.checkOnly = true;
    }
  } else {
    const std::string check =
        upperCase(s.deployments.field("checkForUpdates").toText().value_or(""));
    if (check == "Y") {
      s.updateCheckAnswer = kAnswerYes;
    } else if (check == "N") {
      s.updateCheckAnswer = kAnswerNo;
    } else {
      s.updateCheckAnswer = static_cast<int>(view_.messageBox(
          texts::kCheckForUpdatesQuestion, Buttons::YesNo, Icon::None, std::string()));
    }
  }

  s.installGroupKey.clear();
  s.installGroupServerStamp.clear();
  s.installGroupLocalStamp.clear();
  s.customGroupKey.clear();
  s.customGroupServerStamp.clear();
  s.customGroupLocalStamp.clear();

  const Value installGroupId = s.deployments.field("InstallGroupID");
  const Value customGroupId = s.deployments.field("CustomInstallGroupID");
  if (s.updateCheckAnswer == kAnswerYes) {
    if (deploymentType == "BROKER") {
      if (!customGroupId.isNull() && customGroupId.toDouble().value_or(0) != 0) {
        s.customGroupCurrent = false;
        s.customGroupKey = GroupKey(customGroupId, "CustomInstallGroupID");
        if (!s.customGroupKey.empty()) {
          s.customGroupServerStamp =
              deploymentService
                  ->invoke("GetUpdateInfoLastUpdate",
                           {Arg::byRef(s.loginToken), Arg::byRef(s.customGroupKey)})
                  .toText()
                  .value_or("");
          s.customGroupLocalStamp = ReadUpdateStamp(s.folders.commonFolder, s.customGroupKey);
          if (IsStampCurrent(s.customGroupServerStamp, s.customGroupLocalStamp)) {
            s.customGroupCurrent = true;
          }
        }
      }
      s.installGroupKey = GroupKey(installGroupId, "InstallGroupID");
      if (!s.installGroupKey.empty()) {
        s.installGroupServerStamp =
            deploymentService
                ->invoke("GetUpdateInfoLastUpdate",
                         {Arg::byRef(s.loginToken), Arg::byRef(s.installGroupKey)})
                .toText()
                .value_or("");
        s.installGroupLocalStamp = ReadUpdateStamp(s.folders.commonFolder, s.installGroupKey);
        if (IsStampCurrent(s.installGroupServerStamp, s.installGroupLocalStamp)) {
          run.skipUpdates = s.customGroupCurrent;
        }
      }
    }
    view_.setLabel(Label::Message, run.deploymentCaption + texts::kCheckingForUpdates);
    view_.repaint();
  } else if (!run.checkOnly) {
    run.skipUpdates = true;
  }

  view_.setBarWidth(Bar::Total, 0);
  view_.setBarWidth(Bar::Current, 0);
  view_.repaint();

  const std::string listXml =
      deploymentService
          ->invoke("GetInstallFilesByIDXML",
                   {Arg::byRef(s.loginToken), Arg::byVal(installGroupId),
                    Arg::byVal(customGroupId)})
          .toText()
          .value_or("");
  run.installList = LoadXmlAnswer(listXml);

  // The report and the list narrowing are best effort: each step may fail on its own
  // without stopping the start.
  run.installFilesUrl = storedUrl + "/" + trimSpaces(deploymentType) + "/InstallFiles/";
  const auto memory = platform::memoryStatus();
  run.hasAdminAccess = HasAdminAccess(s.updateCheckAnswer, s.folders.commonFolder);
  s.machineNotes = BuildMachineReport(memory, run.hasAdminAccess);
  try {
    deploymentService->invoke("WriteLoginNotes",
                              {Arg::byRef(s.loginToken), Arg::byRef(s.machineNotes)});
  } catch (const RuntimeError& e) {
    logLine(LogLevel::Warning, "machine report not sent: " + e.description());
  }
  deploymentService.reset();
  run.updateCount = 0;
  if (run.skipUpdates) {
    try {
      run.installList.setFilter("InstallType = 0");
    } catch (const RuntimeError& e) {
      logLine(LogLevel::Warning, "install list not narrowed: " + e.description());
    }
  }

  if (run.checkOnly) {
    view_.setLabel(Label::FrameStatus, texts::kZeroUpdatesFound);
  } else if (!run.skipUpdates) {
    view_.setLabel(Label::Message, run.deploymentCaption + texts::kDownloadingUpdates);
    view_.repaint();
  }
  view_.repaint();

  std::string::size_type at = 0;
  const std::string insert = "://" + s.loginToken + "@";
  while ((at = s.busObjUrl.find("://", at)) != std::string::npos) {
    s.busObjUrl.replace(at, 3, insert);
    at += insert.size();
  }
  deploymentDataSpace.reset();
  logLine(LogLevel::Info, std::string("update mode: ") +
                              (run.checkOnly ? "check only" : run.skipUpdates ? "skipped" : "full") +
                              ", " + std::to_string(run.installList.recordCount()) + " entries");
  view_.setInstallTimerEnabled(true);
}

}  // namespace zentro
