// The deployment start: second login, update decision, stamps, install list, machine report.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_texts.h"
#include "app/event_guard.h"
#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "tests/app/app_fixture.h"

namespace zentro::testing {
namespace {

class DeploymentStartTest : public AppTest {
 protected:
  // Logs JOHN in and runs grid row `row` (0 broker, 1 client, 2 pilot), after `change` to the
  // deployments the login read, when one is given.
  void run(int row, void (*change)(Table&) = nullptr) {
    load();
    login("acme", "john", kJohnPassword);
    ASSERT_TRUE(view.panelVisible(Panel::Versions));
    if (change) change(state().deployments);
    view.clickGridRow(row);
    guard->cmdRunVersion_Click();
  }
  // A deployment's common folder, joined as the program joins it.
  std::string common(const std::string& type, const std::string& folder) const {
    return platform::joinPath(platform::joinPath(rootFolder(), type), folder);
  }
  // Writes the stamp "<deployment folder>/<key>" of a broker.
  void writeStamp(const std::string& folderAndKey, const std::string& text) {
    temp.write("config/Velmora/Velmora Zentro/BROKER/" + folderAndKey + ".txt", text + "\r\n");
  }
  std::vector<std::string> lastUpdateKeys() {
    std::vector<std::string> keys;
    for (const auto& c : ref.calls())
      if (c.member == "GetUpdateInfoLastUpdate") keys.push_back(c.args[1].toText().value_or(""));
    return keys;
  }
};

// The decision of a first run is the table's (UpdateDecision); here, what else it leaves. The
// server's URL holds a second scheme: the token goes after each.
TEST_F(DeploymentStartTest, FirstRunOfABrokerSendsTheReportAndCarriesTheToken) {
  auto world = SmallWorld();
  world.servers[0].path = "/cvbo/s1?mirror=https://mirror.example";
  startService(world);
  ref.expectCall("CVBO_V2.Init", "GetInstallFilesByIDXML");
  ref.expectCall("CVBO_V2.Init", "WriteLoginNotes");
  run(0);
  ProgramState& s = state();
  EXPECT_TRUE(std::filesystem::is_directory(platform::pathFromUtf8(s.folders.commonFolder)));
  const std::string url = ref.serverUrl("S1");
  ASSERT_EQ(url.rfind("http://", 0), 0u);
  EXPECT_EQ(s.install.installFilesUrl, url + "/BROKER/InstallFiles/")
      << "the download base keeps the stored URL";
  const std::string token = ref.lastTokenOf("ACME", "JOHN");
  ASSERT_FALSE(token.empty());
  EXPECT_EQ(s.loginToken, token);
  EXPECT_EQ(s.busObjUrl, "http://" + token + "@" + url.substr(7, url.find("https://") - 7) +
                             "https://" + token + "@mirror.example");

  const auto notes = ref.notes();
  ASSERT_EQ(notes.size(), 1u);
  // The report's lines themselves are machine_report_test's; here, that it is the whole one.
  EXPECT_EQ(notes[0].text.rfind("Available Page File = ", 0), 0u) << notes[0].text;
  EXPECT_TRUE(notes[0].text.ends_with("\r\nHas admin access = Yes\r\n")) << notes[0].text;
  EXPECT_TRUE(view.installTimerEnabled());
  EXPECT_EQ(view.journal().back(), "timer: on") << "the timer is armed last";
}

TEST_F(DeploymentStartTest, ALostMachineReportStopsNothingAndServerFoldersStayInTheRoot) {
  startService();
  ref.setMemberFault("S1", "WriteLoginNotes", refservice::Fault{refservice::Fault::Kind::Status500});
  run(0);
  EXPECT_TRUE(ref.notes().empty());
  EXPECT_EQ(state().install.installList.recordCount(), 2);
  EXPECT_TRUE(view.installTimerEnabled());

  auto startWith = [&](const char* field, const char* value) {
    Table& t = std::string(field) == "LoginType" ? state().deploymentChoices : state().deployments;
    if (&t == &state().deployments) {
      t.moveFirst();
      t.find("CVDeploymentID = 1");
    }
    t.setField(field, Value(std::string(value)));
    form->StartDeployment();
  };
  for (const char* nested : {"Broker\\2026", "Broker/2026"}) {
    startWith("DeployFolder", nested);
    EXPECT_EQ(state().folders.commonFolder, platform::joinPath(common("BROKER", "Broker"), "2026"));
  }
  // Each level is judged as a file name is (the safe-names table holds drives, devices and
  // the like); here, levels of either separator and empty ones, in both fields.
  const std::pair<const char*, const char*> refused[] = {
      {"DeployFolder", "../../../../escaped"}, {"DeployFolder", "a\\..\\..\\..\\..\\escaped"},
      {"DeployFolder", "/tmp/x"}, {"DeployFolder", "\\\\server\\share"}, {"DeployFolder", "a//b"},
      {"DeployFolder", "a/"}, {"DeployFolder", "Broker\\com1.txt"}, {"LoginType", ".."}};
  for (const auto& row : refused) {
    const char* field = row.first;
    const char* value = row.second;
    EXPECT_EQ(raised([&] { startWith(field, value); }).description(),
              texts::kFolderRefusedStart + std::string(field) + texts::kFolderRefusedEnd)
        << field << " " << value;
  }
  EXPECT_FALSE(std::filesystem::exists(temp.path() / "escaped"));
}

// --- the update decision ----------------------------------------------------------------------

const char kBroker[] = "[Acme Broker] - ";
const std::string kInit = kBroker + std::string("initializing...");
const char kShared[] = "<z:row PropName='SharedEnvironment' PropValue='TRUE'/>\n";
const char kAdmins[] =
    "<z:row PropName='UPDATEADMINLOGIN' PropValue='ADMIN1'/>\n"
    "<z:row PropName='UPDATEADMINLOGIN' PropValue='john'/>\n";

struct Decision {
  const char* name;
  int row;                                       // 0 broker, 1 client, 2 pilot (asks)
  void (*world)(refservice::World&);             // a change to the small world, or nullptr
  std::string configRows;
  std::vector<std::pair<const char*, const char*>> stamps;  // "folder/key" -> text
  std::optional<Answer> answer;                  // to the question whether to check
  bool skip, checkOnly;
  std::vector<std::string> keys;                 // the stamp keys asked for, in order
  std::vector<std::string> messages = {};        // the message line's texts; {} = not checked
  int listRows = -1;                             // -1 = not checked
  void (*change)(Table&) = nullptr;              // a change to the deployments after the login
};

class UpdateDecision : public DeploymentStartTest,
                       public ::testing::WithParamInterface<Decision> {};

TEST_P(UpdateDecision, FollowsStampsConfigurationAndAnswer) {
  const Decision& d = GetParam();
  auto world = SmallWorld();
  if (d.world) d.world(world);
  startService(world, d.configRows);
  ref.expectCall(d.row == 1 ? "CVBOGeneral_V3.Init" : "CVBO_V2.Init", "LoginUser");
  for (const auto& [path, text] : d.stamps) writeStamp(path, text);
  if (d.answer) view.answerNext(*d.answer);
  run(d.row, d.change);
  ASSERT_TRUE(view.installTimerEnabled()) << view.journalText();
  EXPECT_EQ(state().install.skipUpdates, d.skip);
  EXPECT_EQ(state().install.checkOnly, d.checkOnly);
  EXPECT_EQ(lastUpdateKeys(), d.keys);
  EXPECT_EQ(view.messageBoxCount(), d.answer ? 1 : 0);
  if (d.answer) {
    EXPECT_TRUE(view.journalHas("msgbox[YesNo,None,'']: " +
                                std::string(texts::kCheckForUpdatesQuestion)));
  }
  // A check-only run counts without asking or probing, as after a No.
  EXPECT_EQ(state().updateCheckAnswer, d.answer == Answer::No || d.checkOnly ? 7 : 6);
  if (d.skip) { EXPECT_EQ(state().install.installList.filter(), "InstallType = 0"); }
  if (!d.messages.empty()) { EXPECT_EQ(view.labelHistory(Label::Message), d.messages); }
  if (d.checkOnly) { EXPECT_EQ(view.label(Label::FrameStatus), "0 updates found..."); }
  if (d.listRows >= 0) { EXPECT_EQ(state().install.installList.recordCount(), d.listRows); }
  EXPECT_EQ(state().install.isUpdateAdmin, d.configRows.find("john") != std::string::npos);
  EXPECT_EQ(state().folders.commonFolder,
            d.row == 1 ? common("CLIENT", "AcmeClient")
                       : common("BROKER", d.row == 0 ? "AcmeBroker" : "AcmePilot"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateDecision,
    ::testing::Values(
        // The custom group's stamp is asked for first.
        Decision{"NoStampsMeanAFullUpdate", 0, nullptr, "", {}, {}, false, false,
                 {"INSTALL_15", "INSTALL_12"},
                 {kInit, kBroker + std::string("checking for updates..."),
                  kBroker + std::string("downloading/installing updates...")},
                 2},
        Decision{"CurrentStampsSkipAndNarrowTheList", 0, nullptr, "",
                 {{"AcmeBroker/INSTALL_12", "  2026-11-30T08:15:00  "},
                  {"AcmeBroker/INSTALL_15", "2026-12-01T09:30:00"}},
                 {}, true, false, {"INSTALL_15", "INSTALL_12"},
                 {kInit, kBroker + std::string("checking for updates...")}, 0},
        Decision{"ALaterCustomGroupMeansAFullCheck", 0, nullptr, "",
                 {{"AcmeBroker/INSTALL_12", "2026-11-30T08:15:00"},
                  {"AcmeBroker/INSTALL_15", "2026-11-01T00:00:00"}},
                 {}, false, false, {"INSTALL_15", "INSTALL_12"}},
        Decision{"SameIdForBothGroupsSharesOneStamp", 0,
                 [](refservice::World& w) { w.deployments[0].customGroup = 12; }, "",
                 {{"AcmeBroker/INSTALL_12", "2026-11-30T08:15:00"}}, {}, true, false,
                 {"INSTALL_12", "INSTALL_12"}},
        Decision{"NullGroupIdsMeanAFullCheck", 0,
                 [](refservice::World& w) {
                   w.deployments[0].installGroup = w.deployments[0].customGroup = std::nullopt;
                 },
                 "", {}, {}, false, false, {}},
        Decision{"GroupIdsThatAreNoWholeNumbersMeanNoGroup", 0, nullptr, "", {}, {}, false, false,
                 {}, {}, -1,
                 [](Table& d) {
                   d.moveFirst();
                   ASSERT_TRUE(d.find("CVDeploymentID = 1"));
                   d.setField("InstallGroupID", Value(std::string(" 12")));
                   d.setField("CustomInstallGroupID", Value(15.25));
                 }},
        Decision{"AYesOnTheQuestionComparesTheUsFormStamp", 2, nullptr, "",
                 {{"AcmePilot/INSTALL_30", "10/15/2026 5:45:00 PM"}}, Answer::Yes, true, false,
                 {"INSTALL_30"}},
        Decision{"ANoOnTheQuestionSkipsWithoutStamps", 2, nullptr, "", {}, Answer::No, true,
                 false, {}},
        Decision{"ClientsUseNoStamps", 1, nullptr, "", {}, {}, false, false, {}},
        Decision{"ASharedMachinesAdminUpdatesUnasked", 2, nullptr,
                 kShared + std::string(kAdmins), {}, {}, false, false, {"INSTALL_30"}},
        Decision{"ASharedMachinesOtherLoginsOnlyCount", 0, nullptr, kShared, {}, {}, false, true,
                 {}, {kInit}, 2}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DeploymentStartTest, ARefusedSecondLoginEndsTheProgramWithoutTimerOrReport) {
  auto world = SmallWorld();
  world.logins[1].password = " one ";  // isValidLogin sees the spaces, LoginUser does not
  startService(world);
  load();
  login("acme", "one", " one ");
  ASSERT_TRUE(view.terminated());
  EXPECT_TRUE(view.journalHas("msgbox[Ok,None,'Velmora Zentro']: The filer code/login/password you "
                              "have supplied is not valid."));
  EXPECT_EQ(view.exitCode(), EventGuard::kRunTimeErrorExit);
  EXPECT_FALSE(view.installTimerEnabled());
  EXPECT_TRUE(ref.notes().empty());
  EXPECT_EQ(stored("Remember"), "<missing>") << "nothing is saved after the error report";
}

TEST_F(DeploymentStartTest, AMissingDeploymentIsReportedInWords) {
  startService();
  load();
  login("acme", "john", kJohnPassword);
  // The deployment vanishes from the table between login and Run.
  state().deployments.setFilter("CVDeploymentID = 2");
  guard->cmdRunVersion_Click();
  ASSERT_TRUE(view.terminated());
  EXPECT_EQ(view.lastMessageBox().text, texts::kDeploymentGone);
}

}  // namespace
}  // namespace zentro::testing
