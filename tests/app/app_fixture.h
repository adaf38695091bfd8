#pragma once
// End-to-end fixture for the window's logic: the scripted window, the real controller behind
// the run-time error report, the reference service on loopback, and a private user profile
// (roaming folder, temp folder, settings store, machine hive) in a fresh temporary folder.

#include <filesystem>
#include <memory>
#include <string>

#include "app/event_guard.h"
#include "app/form_login.h"
#include "platform/program_info.h"
#include "platform/settings_store.h"
#include "tests/support/ref_service_fixture.h"
#include "tests/support/scoped_env.h"
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
  Server s1;
  s1.name = "S1";
  s1.path = "/cvbo/s1";
  Server s2;
  s2.name = "S2";
  s2.path = "/cvbo/s2";
  w.servers = {s1, s2};
  auto entry = [](const std::string& name, long seq, int type, const std::string& version,
                  const std::string& location) {
    InstallEntry e;
    e.fileName = name;
    e.sequenceId = seq;
    e.installType = type;
    e.fileVersion = version;
    e.installLocation = location;
    e.description = name;
    e.downloadLocation = name;
    e.content = std::make_shared<const std::string>("content of " + name + " " + version);
    return e;
  };
  w.groups[12] = {12, "2026-11-30T08:15:00", {entry("core.dat", 1, 5, "1.0.0.1", "COMMONDIR")}};
  w.groups[15] = {15, "2026-12-01T09:30:00", {entry("custom.dat", 2, 5, "1.0.0.0", "COMMONDIR")}};
  w.groups[20] = {20, "", {entry("client.dat", 1, 0, "1.0.0.0", "COMMONDIR")}};
  w.groups[30] = {30, "10/15/2026 5:45:00 PM", {entry("pilot.dat", 1, 5, "2.0", "COMMONDIR")}};
  Deployment d1;
  d1.id = 1;
  d1.type = "BROKER";
  d1.description = " Acme Broker ";
  d1.server = "S1";
  d1.deployFolder = "AcmeBroker";
  d1.installGroup = 12;
  d1.customGroup = 15;
  d1.checkForUpdates = "Y";
  Deployment d2 = d1;
  d2.id = 2;
  d2.type = "CLIENT";
  d2.description = "Acme Client";
  d2.server = "S2";
  d2.deployFolder = "AcmeClient";
  d2.installGroup = 20;
  d2.customGroup = std::nullopt;
  Deployment d3 = d1;
  d3.id = 3;
  d3.description = "Acme Pilot";
  d3.server = "S2";
  d3.deployFolder = "AcmePilot";
  d3.installGroup = 30;
  d3.customGroup = 0;
  d3.checkForUpdates = "";
  w.deployments = {d1, d2, d3};
  return w;
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
                    const std::string& extraRows = "") {
    ref.start(world);
    writeConfig("<z:row PropName='BaseURL' PropValue='" + ref.baseUrl() + "'/>\n" + extraRows);
  }

  void writeConfig(const std::string& rows) {
    temp.write("config/Velmora/Velmora Zentro/VMIZentroConfig.XML",
               "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
               "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
               "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\n"
               "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>\n"
               "<s:AttributeType name='PropName'/><s:AttributeType name='PropValue'/>\n"
               "</s:ElementType></s:Schema>\n<rs:data>\n" +
                   rows + "</rs:data></xml>\n");
  }

  // Creates the window with `commandLine` and runs Form_Load through the error boundary.
  void load(const std::string& commandLine = "USEPROFILE") {
    platform::setCommandLine(commandLine);
    form = std::make_unique<FrmLogin>(view);
    guard = std::make_unique<EventGuard>(*form, view);
    view.attach(*guard);
    guard->Form_Load();
  }

  // Types the three boxes and presses Login.
  void login(const std::string& filer, const std::string& name, const std::string& password) {
    view.typeText(TextBox::FilerCode, filer);
    view.typeText(TextBox::Login, name);
    view.typeText(TextBox::Password, password);
    guard->cmdLogin_Click();
  }

  std::string stored(const char* key) const {
    return platform::getSetting("VMIZentro", "LoginInfo", key, "<missing>");
  }

  ProgramState& state() { return form->state(); }

  ScopedUserProfile profile{temp.str()};
  ScopedEnv env;
  ScriptedView view;
  std::unique_ptr<FrmLogin> form;
  std::unique_ptr<EventGuard> guard;
};

}  // namespace zentro::testing
