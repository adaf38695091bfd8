// FrmLogin::StartDeployment (declared in app/form_login.h): the second login on the
// deployment's own server, the update decision, the stamp check, the install-file list, the
// machine report, and the install timer armed last.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/app_texts.h"
#include "app/config.h"
#include "app/form_login.h"
#include "app/form_login_impl.h"
#include "app/launch_stage.h"
#include "app/machine_report.h"
#include "app/update_stamps.h"
#include "app/working_folders.h"
#include "installer/safe_names.h"
#include "platform/ascii_text.h"
#include "platform/machine_info.h"
#include "platform/paths.h"
#include "platform/run_log.h"
#include "platform/runtime_error.h"
#include "remote/data_space.h"
#include "remote/text_case.h"
#include "remote/xml_answer.h"

namespace zentro {
namespace {

constexpr int kAnswerYes = static_cast<int>(Answer::Yes);
constexpr int kAnswerNo = static_cast<int>(Answer::No);

// "INSTALL_" + the id as text; "" for a NULL id (treated as no group). The key names a file in
// the deployment folder, so only a plain whole number becomes one; any other text from the
// server counts as no group too (a full check) and is logged, without the text itself.
std::string groupKey(const Value& id, std::string_view field) {
  const std::string text = id.toText().value_or("");
  const std::size_t sign = text.starts_with('-') ? 1 : 0;
  if (!text.empty() && (text.size() == sign ||
                        text.find_first_not_of("0123456789", sign) != std::string::npos)) {
    logLine(LogLevel::Warning, std::string(field) + " is not a whole number; no update stamp");
    return {};
  }
  return updateStampKey(text);
}

// A folder path given by the server for the deployment (LoginType, DeployFolder), with its
// levels joined by this platform's separator; either separator divides levels, so
// "Broker\2026" and "Broker/2026" are the same nested folder. nullopt unless every level is a
// plain folder name (isSafeFileName): an absolute path, a drive, "..", an empty level or a
// device would leave the root.
std::optional<std::string> localFolderPath(const std::string& text) {
  std::string path;
  for (std::size_t start = 0; !text.empty();) {
    const std::size_t end = text.find_first_of("/\\", start);
    const std::string level = text.substr(start, end == std::string::npos ? end : end - start);
    if (!isSafeFileName(level)) return std::nullopt;
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

// The steps of one deployment start, in the order StartDeployment runs them. Each step reads
// and writes the program-wide state (ProgramState says which step sets which value). Until
// the machine report every failure is untrapped and ends the program; the report's steps are
// best effort.
class DeploymentStart {
 public:
  DeploymentStart(ProgramState& state, View& view)
      : s_(state), run_(state.install), view_(view) {}

  // The install panel in front, showing the deployment's caption and " - initializing...".
  void showInstallPanel() {
    if (s_.commandLineLogin) view_.setPanelVisible(Panel::Login, false);
    run_.skipUpdates = false;
    s_.customGroupCurrent = true;
    view_.setPanelVisible(Panel::Install, true);
    run_.deploymentCaption =
        "[" +
        std::string(platform::trim(
            s_.deploymentChoices.field("LoginDescription").toText().value_or(""))) +
        "]";
    view_.setLabel(Label::Message, run_.deploymentCaption + texts::kInitializing);
    view_.repaint();
  }

  // Makes the chosen deployment the current row of `deployments`, which every later step and
  // the folders read.
  void findChosenDeployment() {
    const Value chosenId = s_.deploymentChoices.field("CVDeploymentID");
    s_.deployments.moveFirst();
    if (s_.deployments.eof() ||
        !s_.deployments.find("CVDeploymentID = " + chosenId.toText().value_or(""), 0)) {
      throw RuntimeError(kErrTable, texts::kLoginProgId, texts::kDeploymentGone);
    }
    logLine(LogLevel::Info, "starting deployment " + chosenId.debugText() + " " +
                                run_.deploymentCaption);
  }

  void clearProgressBars() {
    view_.setBarWidth(Bar::Total, 0);
    view_.setBarWidth(Bar::Current, 0);
    view_.repaint();
  }

  // The deployment's folders below the root, from the server's LoginType and DeployFolder.
  void computeFolders() {
    const std::string loginType = folderField(s_.deploymentChoices, "LoginType");
    const std::string deployFolder = folderField(s_.deployments, "DeployFolder");
    InitFolders(false, s_.useProfile, loginType, deployFolder, s_.folders);
  }

  // Logs in again at the deployment's own server; its answer is the login token. A refused
  // login (or a token that cannot travel in a URL and a command line) ends the program.
  void secondLogin(platform::HttpClient& client, const CallLimits& limits) {
    storedUrl_ = s_.deployments.field("BusObjURL").toText().value_or("");
    deploymentType_ = s_.deployments.field("DeploymentType").toText().value_or("");
    s_.busObjUrl = storedUrl_;
    dataSpace_ = std::make_unique<DataSpace>(client, limits);
    service_ = dataSpace_->createObject(
        deploymentType_ == "CLIENT" ? texts::kClientProgId : texts::kLoginProgId, s_.busObjUrl);

    const std::string ip = GetIpAddresses();
    s_.loginToken = service_
                        ->invoke(s_.commandLineLogin ? "LoginUserHex" : "LoginUser",
                                 {Arg::byRef(s_.filerCode), Arg::byRef(s_.loginName),
                                  Arg::byRef(s_.loginPassword), Arg::byVal(ip)})
                        .toText()
                        .value_or("");
    if (!isUsableLoginToken(s_.loginToken)) {
      logLine(LogLevel::Warning, s_.loginToken.empty()
                                     ? "second login refused at the deployment's server"
                                     : "second login answered with a text that is no token");
      s_.loginToken.clear();
      throw RuntimeError(texts::kLoginCheckErrorNumber, texts::kLoginCheckSource,
                         texts::kLoginCheckDescription);
    }
  }

  // Whether updates are checked (6) or not (7): on a shared machine by the login (update
  // administrators check, everyone else only counts), elsewhere by the deployment's
  // checkForUpdates, or by asking the user when that says neither Y nor N.
  void decideUpdateCheck() {
    run_.checkOnly = false;
    run_.isUpdateAdmin = false;
    if (s_.sharedEnvironment) {
      if (IsUpdateAdminLogin(s_.configRecordset, s_.loginName)) {
        s_.updateCheckAnswer = kAnswerYes;
        run_.isUpdateAdmin = true;
      } else {
        s_.updateCheckAnswer = kAnswerNo;
        run_.checkOnly = true;
      }
      return;
    }
    const std::string check =
        upperCase(s_.deployments.field("checkForUpdates").toText().value_or(""));
    if (check == "Y") {
      s_.updateCheckAnswer = kAnswerYes;
    } else if (check == "N") {
      s_.updateCheckAnswer = kAnswerNo;
    } else {
      s_.updateCheckAnswer = static_cast<int>(view_.messageBox(
          texts::kCheckForUpdatesQuestion, Buttons::YesNo, Icon::None, std::string()));
    }
  }

  // With the check accepted, a broker deployment whose groups are both current since their
  // last complete update skips the updates; a declined check skips them unless only counting.
  void checkUpdateStamps() {
    s_.installGroupKey.clear();
    s_.installGroupServerStamp.clear();
    s_.installGroupLocalStamp.clear();
    s_.customGroupKey.clear();
    s_.customGroupServerStamp.clear();
    s_.customGroupLocalStamp.clear();

    installGroupId_ = s_.deployments.field("InstallGroupID");
    customGroupId_ = s_.deployments.field("CustomInstallGroupID");
    if (s_.updateCheckAnswer != kAnswerYes) {
      if (!run_.checkOnly) run_.skipUpdates = true;
      return;
    }
    if (deploymentType_ == "BROKER") {
      if (!customGroupId_.isNull() && customGroupId_.toDouble().value_or(0) != 0) {
        s_.customGroupCurrent = false;
        s_.customGroupKey = groupKey(customGroupId_, "CustomInstallGroupID");
        if (!s_.customGroupKey.empty() &&
            groupIsCurrent(s_.customGroupKey, s_.customGroupServerStamp,
                           s_.customGroupLocalStamp)) {
          s_.customGroupCurrent = true;
        }
      }
      s_.installGroupKey = groupKey(installGroupId_, "InstallGroupID");
      if (!s_.installGroupKey.empty() &&
          groupIsCurrent(s_.installGroupKey, s_.installGroupServerStamp,
                         s_.installGroupLocalStamp)) {
        run_.skipUpdates = s_.customGroupCurrent;
      }
    }
    view_.setLabel(Label::Message, run_.deploymentCaption + texts::kCheckingForUpdates);
    view_.repaint();
  }

  // installList: the deployment's install-file list, as the server sends it.
  void fetchInstallList() {
    const std::string listXml =
        service_
            ->invoke("GetInstallFilesByIDXML",
                     {Arg::byRef(s_.loginToken), Arg::byVal(installGroupId_),
                      Arg::byVal(customGroupId_)})
            .toText()
            .value_or("");
    run_.installList = loadXmlAnswer(listXml);
  }

  // The download base, the machine report sent to the server, and the list narrowed to the
  // rows that are examined without updates. Best effort: each of these may fail on its own
  // without stopping the start.
  void reportMachine() {
    run_.installFilesUrl =
        storedUrl_ + "/" + std::string(platform::trim(deploymentType_)) + "/InstallFiles/";
    const auto memory = platform::memoryStatus();
    run_.hasAdminAccess = HasAdminAccess(s_.updateCheckAnswer, s_.folders.commonFolder);
    s_.machineNotes = buildMachineReport(memory, run_.hasAdminAccess);
    try {
      service_->invoke("WriteLoginNotes",
                       {Arg::byRef(s_.loginToken), Arg::byRef(s_.machineNotes)});
    } catch (const RuntimeError& e) {
      logLine(LogLevel::Warning, "machine report not sent: " + e.description());
    }
    service_.reset();
    run_.updateCount = 0;
    if (run_.skipUpdates) {
      try {
        run_.installList.setFilter("InstallType = 0");
      } catch (const RuntimeError& e) {
        logLine(LogLevel::Warning, "install list not narrowed: " + e.description());
      }
    }
  }

  // "0 updates found..." when only counting; " - downloading/installing updates..." when the
  // run will install.
  void showUpdateMode() {
    if (run_.checkOnly) {
      view_.setLabel(Label::FrameStatus, texts::kZeroUpdatesFound);
    } else if (!run_.skipUpdates) {
      view_.setLabel(Label::Message, run_.deploymentCaption + texts::kDownloadingUpdates);
      view_.repaint();
    }
    view_.repaint();
  }

  // busObjUrl carries the token as its user information from now on ("://" token "@").
  void putTokenIntoBusObjUrl() {
    std::string::size_type at = 0;
    const std::string insert = "://" + s_.loginToken + "@";
    while ((at = s_.busObjUrl.find("://", at)) != std::string::npos) {
      s_.busObjUrl.replace(at, 3, insert);
      at += insert.size();
    }
    dataSpace_.reset();
  }

  // Enabled as the very last step, so the install run's first tick comes after this start.
  void armInstallTimer() {
    logLine(LogLevel::Info,
            std::string("update mode: ") +
                (run_.checkOnly ? "check only" : run_.skipUpdates ? "skipped" : "full") + ", " +
                std::to_string(run_.installList.recordCount()) + " entries");
    view_.setInstallTimerEnabled(true);
  }

 private:
  // One group's stamp check: the server's last update of the group and the local stamp of
  // its last complete update. True when both are dates and the server's is not later.
  bool groupIsCurrent(std::string& key, std::string& serverStamp, std::string& localStamp) {
    serverStamp = service_
                      ->invoke("GetUpdateInfoLastUpdate",
                               {Arg::byRef(s_.loginToken), Arg::byRef(key)})
                      .toText()
                      .value_or("");
    localStamp = ReadUpdateStamp(s_.folders.commonFolder, key);
    return isStampCurrent(serverStamp, localStamp);
  }

  ProgramState& s_;
  InstallSession& run_;
  View& view_;
  std::string storedUrl_;       // BusObjURL of the deployment as stored, without the token
  std::string deploymentType_;  // DeploymentType of the deployment, as stored
  Value installGroupId_;
  Value customGroupId_;
  std::unique_ptr<DataSpace> dataSpace_;
  std::unique_ptr<ServiceObject> service_;
};

}  // namespace

void FrmLogin::StartDeployment() {
  DeploymentStart start(*state_, view_);
  start.showInstallPanel();
  start.findChosenDeployment();
  start.clearProgressBars();
  start.computeFolders();
  start.secondLogin(impl_->client(), impl_->limits);
  start.decideUpdateCheck();
  start.checkUpdateStamps();
  start.clearProgressBars();
  start.fetchInstallList();
  start.reportMachine();
  start.showUpdateMode();
  start.putTokenIntoBusObjUrl();
  start.armInstallTimer();
}

}  // namespace zentro
