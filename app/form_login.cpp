// frmLogin: construction, start-up (Form_Load), closing and the install timer.
#include "app/form_login.h"

#include <algorithm>

#include "app/app_texts.h"
#include "app/config.h"
#include "app/form_login_impl.h"
#include "app/launch_stage.h"
#include "app/update_stamps.h"
#include "app/working_folders.h"
#include "installer/inet_transfer.h"
#include "platform/ascii_text.h"
#include "platform/fonts.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "platform/run_log.h"
#include "platform/settings_store.h"
#include "remote/text_case.h"

namespace zentro {

std::vector<std::string> commandLineFields(const std::string& commandLine) {
  std::string text = commandLine;
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    auto bar = text.find('|', start);
    fields.push_back(text.substr(start, bar == std::string::npos ? std::string::npos
                                                                 : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return fields;
}

std::pair<std::size_t, std::size_t> commandLinePasswordSpan(const std::string& commandLine) {
  // Quotes are removed before the split, so they never move a "|".
  const auto first = commandLine.find('|');
  if (first == std::string::npos) return {0, 0};
  const auto second = commandLine.find('|', first + 1);
  if (second == std::string::npos) return {0, 0};
  const auto third = commandLine.find('|', second + 1);
  return {second + 1, third == std::string::npos ? commandLine.size() : third};
}

namespace {

// Base folders first, then the configuration file in the root folder.
void loadConfigSteps(ProgramState& s) {
  s.useProfile =
      upperCase(platform::commandLine()).find(texts::kUseProfileSwitch) != std::string::npos;
  InitFolders(true, s.useProfile, "", "", s.folders);
  openLog(s.folders.tempFolder);
  logLine(LogLevel::Info, "start-up; root folder " + s.folders.rootFolder);
  removeStaleSpools(s.folders.tempFolder);
  s.configRecordset = loadConfigTable(s.folders.rootFolder);

  s.baseUrl = GetConfigValue(s.configRecordset, texts::kPropBaseUrl);
  if (s.baseUrl.empty()) s.baseUrl = texts::kDefaultBaseUrl;
  s.sharedEnvironment = upperCase(platform::trim(GetConfigValue(
                            s.configRecordset, texts::kPropSharedEnvironment))) == "TRUE";
  s.warnIfUpdates = GetConfigValue(s.configRecordset, texts::kPropWarnIfUpdates);
  s.runFromTemp = upperCase(platform::trim(
                      GetConfigValue(s.configRecordset, texts::kPropRunFromTemp))) == "TRUE";
  s.install.sharedEnvironment = s.sharedEnvironment;
}

}  // namespace

// Whatever the steps raise is kept: before the window exists nobody could report it.
std::unique_ptr<ProgramState> LoadConfig() {
  auto state = std::make_unique<ProgramState>();
  try {
    loadConfigSteps(*state);
  } catch (...) {
    state->configFailure = std::current_exception();
  }
  return state;
}

FrmLogin::Impl::Impl(View& v, ProgramState& s, CallLimits l)
    : view(v), state(s), limits(l) {}
FrmLogin::Impl::~Impl() = default;

platform::HttpClient& FrmLogin::Impl::client() {
  if (!http) http = platform::makeHttpClient();
  return *http;
}

void FrmLogin::Impl::launchApplication() {
  LaunchInputs in;
  in.busObjUrl = state.busObjUrl;
  in.loginToken = state.loginToken;
  in.commonFolder = state.folders.commonFolder;
  in.warnIfUpdates = state.warnIfUpdates;
  in.runFromTemp = state.runFromTemp;
  in.isUpdateAdmin = state.install.isUpdateAdmin;
  in.updateCount = state.install.updateCount;
  const WorkingFolders& f = state.folders;
  in.programFolders = {f.productFolder, f.tempFolder,   f.commonFolder,  f.brokerFolder,
                       f.clientFolder,  f.companyFolder, f.systemFolder, f.windowsFolder,
                       f.fontsFolder};
  if (auto name = state.install.installList.field("FileName").toText()) in.launchFileName = *name;
  runLaunchStage(view, in, state.install.targetPath);
  launched = true;
}

void FrmLogin::Impl::writeUpdateStamps() {
  WriteUpdateStamps(state.folders.commonFolder, state.installGroupKey,
                    state.installGroupServerStamp, state.customGroupKey,
                    state.customGroupServerStamp);
}

FrmLogin::FrmLogin(View& view, CallLimits limits, std::unique_ptr<ProgramState> loaded)
    : view_(view),
      state_(loaded ? std::move(loaded) : LoadConfig()),
      impl_(std::make_unique<Impl>(view, *state_, limits)) {}

FrmLogin::~FrmLogin() = default;

void FrmLogin::Form_Load() {
  ProgramState& s = *state_;
  const auto version = platform::programVersion();
  view_.setCaption(std::string(texts::kCaptionPrefix) + std::to_string(version.major) + "." +
                   std::to_string(version.minor) + ".0." + std::to_string(version.revision));

  // Session fonts beside the program; any failure is ignored.
  std::string folder = platform::programFolder();
  if (folder.empty() || folder.back() != platform::pathSeparator()) {
    folder += platform::pathSeparator();
  }
  for (const char* font : texts::kSessionFonts) platform::addFontResource(folder + font);

  if (s.configFailure) std::rethrow_exception(s.configFailure);

  const std::string& commandLine = platform::commandLine();
  // A command line that only switches the profile on (quoted or not) carries no login details.
  const std::vector<std::string> fields = commandLineFields(commandLine);
  const bool onlySwitch =
      fields.size() == 1 && upperCase(platform::trim(fields[0])) == texts::kUseProfileSwitch;
  if (!commandLine.empty() && !onlySwitch) {
    if (fields.size() >= 1) view_.setText(TextBox::FilerCode, upperCase(fields[0]));
    if (fields.size() >= 2) view_.setText(TextBox::Login, upperCase(fields[1]));
    if (fields.size() >= 3) view_.setText(TextBox::Password, fields[2]);
    if (fields.size() >= 3) {
      s.commandLineLogin = true;
      cmdLogin_Click();
    } else {
      // Too few fields to log in: the user completes the boxes and gets the usual messages.
      s.commandLineLogin = false;
      logLine(LogLevel::Info, "command line has fewer than three fields; not logging in");
    }
    return;
  }

  s.commandLineLogin = false;
  auto stored = [](const char* key, const char* def) {
    return platform::getSetting(texts::kSettingsApp, texts::kSettingsSection, key, def);
  };
  view_.setText(TextBox::FilerCode, stored(texts::kKeyFilerCode, ""));
  if (s.sharedEnvironment) {
    view_.setText(TextBox::Login, "");
    view_.setText(TextBox::Password, "");
    view_.setRememberChecked(false);
    view_.setRememberEnabled(false);
    view_.setRefreshEnabled(false);
    view_.setRefreshVisible(false);
  } else {
    view_.setText(TextBox::Login, stored(texts::kKeyLogin, ""));
    view_.setText(TextBox::Password, "");
    view_.setRememberChecked(stored(texts::kKeyRemember, "0") == "1");
    view_.setRememberEnabled(true);
    view_.setRefreshEnabled(true);
    view_.setRefreshVisible(true);
  }
}

bool FrmLogin::Form_QueryUnload(UnloadReason reason) {
  if (reason != UnloadReason::FormControlMenu) return false;
  view_.messageBox(texts::kUseCancelButton, Buttons::Ok, Icon::None, std::string());
  return true;
}

void FrmLogin::Form_Unload() {
  const ProgramState& s = *state_;
  auto save = [](const char* key, const std::string& value) {
    platform::saveSetting(texts::kSettingsApp, texts::kSettingsSection, key, value);
  };
  if (s.sharedEnvironment) {
    save(texts::kKeyFilerCode, view_.text(TextBox::FilerCode));
    save(texts::kKeyLogin, "");
    save(texts::kKeyPassword, "");
    save(texts::kKeyRemember, "0");
  } else {
    const bool remember = view_.rememberChecked();
    save(texts::kKeyFilerCode, remember ? view_.text(TextBox::FilerCode) : "");
    save(texts::kKeyLogin, remember ? view_.text(TextBox::Login) : "");
    save(texts::kKeyPassword, "");
    save(texts::kKeyRemember, remember ? "1" : "0");
  }
  logLine(LogLevel::Info, "window unloaded");
}

void FrmLogin::cmdCancel_Click() { view_.unload(); }

int FrmLogin::exitStatus() const {
  if (!impl_->launched) return kExitNotLaunched;
  const InstallSession& run = state_->install;
  return run.downloadFailed || run.updateBlocked ? kExitUpdatesFailed : kExitCurrent;
}

void FrmLogin::tmrComInstall_Timer() {
  if (!impl_->installRun) {
    impl_->installRun =
        std::make_unique<InstallRun>(view_, state_->folders, state_->install, *impl_);
  }
  impl_->installRun->tick();
}

}  // namespace zentro
