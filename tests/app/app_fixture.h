#pragma once
// End-to-end fixture for the window's logic: the scripted window, the real controller behind
// the run-time error report, the reference service on loopback, and a private user profile
// (roaming folder, temp folder, settings store, machine hive) in a fresh temporary folder.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/event_guard.h"
#include "app/form_login.h"
#include "platform/program_info.h"
#include "platform/settings_store.h"
#include "tests/remote/remote_support.h"
#include "tests/support/ref_service_fixture.h"
#include "tests/support/scripted_view.h"
#include "tests/support/test_system.h"

namespace zentro::testing {

inline constexpr const char* kFiler = "ACME";
inline constexpr const char* kJohn = "JOHN";
inline constexpr const char* kJohnPassword = "Secret Pw";
inline constexpr const char* kOne = "ONE";
inline constexpr const char* kOnePassword = "one";

// A world with two login servers and three deployments: 1 BROKER on S1 (groups 12 + 15),
// 2 CLIENT on S2 (group 20), 3 BROKER on S2 (group 30, asks whether to check).
// JOHN may use all three, ONE only deployment 1.
inline refservice::World SmallWorld() {
  using namespace refservice;
  World w;
  w.filers[kFiler] = "Acme Imports";
  w.logins.push_back({kFiler, kJohn, kJohnPassword, {1, 2, 3}});
  w.logins.push_back({kFiler, kOne, kOnePassword, {1}});
  w.base.path = "/cvbo";
  for (const char* name : {"S1", "S2"}) {
    w.servers.emplace_back().name = name;
    w.servers.back().path = std::string("/cvbo/s") + name[1];
  }
  auto group = [](long id, const char* stamp, const std::string& name, long seq, int type,
                  const std::string& version) {
    InstallEntry e;
    e.fileName = e.description = e.downloadLocation = name;
    e.sequenceId = seq;
    e.installType = type;
    e.fileVersion = version;
    e.installLocation = "COMMONDIR";
    e.content = std::make_shared<const std::string>("content of " + name + " " + version);
    return InstallGroup{id, stamp, {e}};
  };
  w.groups[12] = group(12, "2026-11-30T08:15:00", "core.dat", 1, 5, "1.0.0.1");
  w.groups[15] = group(15, "2026-12-01T09:30:00", "custom.dat", 2, 5, "1.0.0.0");
  w.groups[20] = group(20, "", "client.dat", 1, 0, "1.0.0.0");
  w.groups[30] = group(30, "10/15/2026 5:45:00 PM", "pilot.dat", 1, 5, "2.0");
  // Id, type, description, server, BusObjURL, folder, install and custom group, whether to check.
  w.deployments = {{1, "BROKER", " Acme Broker ", "S1", "", "AcmeBroker", 12, 15, "Y", {}},
                   {2, "CLIENT", "Acme Client", "S2", "", "AcmeClient", 20, std::nullopt, "Y", {}},
                   {3, "BROKER", "Acme Pilot", "S2", "", "AcmePilot", 30, 0, "", {}}};
  return w;
}

// A configuration file (VMIZentroConfig.XML) holding `rows`.
inline std::string configXml(const std::string& rows) {
  return rowsetDoc("<s:AttributeType name='PropName'/><s:AttributeType name='PropValue'/>", rows);
}

class AppTest : public RefServiceTest {
 protected:
  void SetUp() override { env.set("no_proxy", "127.0.0.1,localhost"); }

  // The per-user root folder the launcher uses with USEPROFILE (the roaming folder is
  // config/ of the profile).
  std::string rootFolder() const {
    return platform::utf8FromPath(temp.path() / "config" / "Velmora" / "Velmora Zentro");
  }

  // Starts the service and writes a configuration pointing at it, plus `extraRows`.
  void startService(const refservice::World& world = SmallWorld(),
                    const std::string& extraRows = "",
                    const refservice::RefServiceOptions& options = {}) {
    ref.start(world, options);
    writeConfig("<z:row PropName='BaseURL' PropValue='" + ref.baseUrl() + "'/>\n" + extraRows);
  }

  void writeConfig(const std::string& rows) {
    temp.write("config/Velmora/Velmora Zentro/VMIZentroConfig.XML", configXml(rows));
  }

  // Creates the window with `commandLine` and runs Form_Load through the error boundary.
  void load(const std::string& commandLine = "USEPROFILE") { open(view, commandLine); }

  // A new launcher run in a window of its own, loaded with `commandLine`. The run's window
  // stays for the test to read.
  ScriptedView& startRun(const std::string& commandLine, CallLimits limits = {}) {
    ScriptedView& window = *runs.emplace_back(std::make_unique<ScriptedView>());
    open(window, commandLine, limits);
    return window;
  }
  // One whole launcher run: Form_Load, then install-timer ticks until the window ends.
  ScriptedView& runLauncher(const std::string& commandLine, CallLimits limits = {}) {
    ScriptedView& window = startRun(commandLine, limits);
    window.runInstallTimer();
    return window;
  }

  // Types the three boxes of `window` (the test's own by default) and presses Login.
  void login(const std::string& filer, const std::string& name, const std::string& password,
             ScriptedView* window = nullptr) {
    ScriptedView& w = window ? *window : view;
    w.typeText(TextBox::FilerCode, filer);
    w.typeText(TextBox::Login, name);
    w.typeText(TextBox::Password, password);
    guard->cmdLogin_Click();
  }

  std::string stored(const char* key) const {
    return platform::getSetting("VMIZentro", "LoginInfo", key, "<missing>");
  }
  // What the settings store keeps of the login: filer code, login, password, Remember.
  std::vector<std::string> storedLogin() const {
    return {stored("FilerCode"), stored("Login"), stored("Password"), stored("Remember")};
  }
  // What the three boxes of `window` hold: filer code, login, password.
  static std::vector<std::string> typed(const ScriptedView& window) {
    return {window.text(TextBox::FilerCode), window.text(TextBox::Login),
            window.text(TextBox::Password)};
  }

  ProgramState& state() { return form->state(); }

  // `loaded`: what LoadConfig read before the window existed.
  void open(ScriptedView& window, const std::string& commandLine, CallLimits limits = {},
            std::unique_ptr<ProgramState> loaded = nullptr) {
    guard.reset();
    form.reset();
    platform::setCommandLine(commandLine);
    form = std::make_unique<FrmLogin>(window, limits, std::move(loaded));
    guard = std::make_unique<EventGuard>(*form, window);
    window.attach(*guard);
    guard->Form_Load();
  }

  ScopedUserProfile profile{temp.str()};
  ScopedEnv env;
  ScriptedView view;
  std::vector<std::unique_ptr<ScriptedView>> runs;  // the windows of runLauncher
  std::unique_ptr<FrmLogin> form;
  std::unique_ptr<EventGuard> guard;
};

}  // namespace zentro::testing
