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
  // Logs JOHN in and runs grid row `row` (0 broker, 1 client, 2 pilot).
  void run(int row) {
    load();
    login("acme", "john", kJohnPassword);
    ASSERT_TRUE(view.panelVisible(Panel::Versions));
    view.clickGridRow(row);
    guard->cmdRunVersion_Click();
  }
  // A deployment's common folder, joined as the program joins it.
  std::string common(const std::string& type, const std::string& folder) const {
    return platform::joinPath(platform::joinPath(rootFolder(), type), folder);
  }
  void writeStamp(const std::string& folder, const std::string& key, const std::string& text) {
    const auto path = platform::pathFromUtf8(common("BROKER", folder));
    std::filesystem::create_directories(path);
    std::ofstream(path / (key + ".txt")) << text << "\r\n";
  }
  std::vector<std::string> lastUpdateKeys() {
    std::vector<std::string> keys;
    for (const auto& c : ref.calls())
      if (c.member == "GetUpdateInfoLastUpdate") keys.push_back(c.args[1].toText().value_or(""));
    return keys;
  }
  std::vector<std::string> messages() {
    std::vector<std::string> lines;
    for (const auto& line : view.journal())
      if (line.rfind("label Message: ", 0) == 0) lines.push_back(line.substr(15));
    return lines;
  }
};

TEST_F(DeploymentStartTest, FirstRunOfABrokerIsAFullUpdateWithReportAndToken) {
  startService();
  ref.expectCall("CVBO_V2.Init", "LoginUser");
  ref.expectCall("CVBO_V2.Init", "GetInstallFilesByIDXML");
  ref.expectCall("CVBO_V2.Init", "WriteLoginNotes");
  run(0);
  ProgramState& s = state();
  EXPECT_EQ(messages(), (std::vector<std::string>{"[Acme Broker] - initializing...",
                                                  "[Acme Broker] - checking for updates...",
                                                  "[Acme Broker] - downloading/installing updates..."}));
  EXPECT_EQ(lastUpdateKeys(), (std::vector<std::string>{"INSTALL_15", "INSTALL_12"}))
      << "custom group first";
  EXPECT_FALSE(s.install.skipUpdates);
  EXPECT_FALSE(s.install.checkOnly);
  EXPECT_EQ(s.updateCheckAnswer, 6);
  EXPECT_EQ(s.folders.commonFolder, common("BROKER", "AcmeBroker"));
  EXPECT_TRUE(std::filesystem::is_directory(platform::pathFromUtf8(s.folders.commonFolder)));
  EXPECT_FALSE(std::filesystem::exists(platform::pathFromUtf8(s.folders.commonFolder) / "CVTest"))
      << "probe cleaned";
  EXPECT_EQ(s.install.installList.recordCount(), 2);

  const std::string url = ref.serverUrl("S1");
  EXPECT_EQ(s.install.installFilesUrl, url + "/BROKER/InstallFiles/");
  const std::string token = ref.lastTokenOf("ACME", "JOHN");
  ASSERT_FALSE(token.empty());
  EXPECT_EQ(s.loginToken, token);
  EXPECT_EQ(s.busObjUrl, "http://" + token + "@" + url.substr(7));

  const auto notes = ref.notes();
  ASSERT_EQ(notes.size(), 1u);
  const std::string& report = notes[0].text;
  const char* labels[] = {"Available Page File = ", "Available Physical Memory = ",
                          "Available Virtual Memory = ", "Memory Load = %",
                          "Total Page File = ", "Total Physical Memory = ",
                          "Total Virtual Memory = ", "Has admin access = Yes"};
  std::size_t at = 0;
  for (const char* label : labels) {
    auto found = report.find(label, at);
    ASSERT_EQ(found, at) << "line order in:\n" << report;
    at = report.find("\r\n", found);
    ASSERT_NE(at, std::string::npos);
    at += 2;
  }
  EXPECT_EQ(at, report.size());
  EXPECT_TRUE(view.installTimerEnabled());
  EXPECT_EQ(view.journal().back(), "timer: on") << "the timer is armed last";
}

TEST_F(DeploymentStartTest, CurrentStampsSkipTheUpdateAndNarrowTheList) {
  startService();
  writeStamp("AcmeBroker", "INSTALL_12", "  2026-11-30T08:15:00  ");
  writeStamp("AcmeBroker", "INSTALL_15", "2026-12-01T09:30:00");
  run(0);
  EXPECT_TRUE(state().install.skipUpdates);
  EXPECT_EQ(state().install.installList.filter(), "InstallType = 0");
  EXPECT_EQ(state().install.installList.recordCount(), 0);
  EXPECT_EQ(messages().back(), "[Acme Broker] - checking for updates...");
}

TEST_F(DeploymentStartTest, ALaterCustomGroupOrABadStampMeansAFullCheck) {
  startService();
  writeStamp("AcmeBroker", "INSTALL_12", "2026-11-30T08:15:00");
  writeStamp("AcmeBroker", "INSTALL_15", "2026-11-01T00:00:00");
  run(0);
  EXPECT_FALSE(state().install.skipUpdates) << "custom group's server date is later";

  writeStamp("AcmeBroker", "INSTALL_15", "not a date");
  guard->cmdRunVersion_Click();
  EXPECT_FALSE(state().install.skipUpdates);
}

TEST_F(DeploymentStartTest, SameIdForBothGroupsSharesOneStampFile) {
  auto world = SmallWorld();
  world.deployments[0].customGroup = 12;
  startService(world);
  writeStamp("AcmeBroker", "INSTALL_12", "2026-11-30T08:15:00");
  run(0);
  EXPECT_EQ(lastUpdateKeys(), (std::vector<std::string>{"INSTALL_12", "INSTALL_12"}));
  EXPECT_TRUE(state().install.skipUpdates);
}

TEST_F(DeploymentStartTest, NullGroupIdsMeanNoGroupAndAFullCheck) {
  auto world = SmallWorld();
  world.deployments[0].installGroup = std::nullopt;
  world.deployments[0].customGroup = std::nullopt;
  startService(world);
  run(0);
  EXPECT_TRUE(lastUpdateKeys().empty());
  EXPECT_FALSE(state().install.skipUpdates);
  EXPECT_EQ(state().installGroupKey, "");
  EXPECT_TRUE(view.installTimerEnabled());
}

TEST_F(DeploymentStartTest, GroupIdsThatAreNoWholeNumbersMeanNoGroup) {
  startService();
  load();
  login("acme", "john", kJohnPassword);
  Table& d = state().deployments;
  d.moveFirst();
  ASSERT_TRUE(d.find("CVDeploymentID = 1"));
  d.setField("InstallGroupID", Value(std::string(" 12")));
  d.setField("CustomInstallGroupID", Value(15.25));
  view.clickGridRow(0);
  guard->cmdRunVersion_Click();
  ASSERT_TRUE(view.installTimerEnabled()) << view.journalText();
  EXPECT_TRUE(lastUpdateKeys().empty());
  EXPECT_EQ(state().installGroupKey, "");
  EXPECT_EQ(state().customGroupKey, "");
  EXPECT_FALSE(state().install.skipUpdates);
}

TEST_F(DeploymentStartTest, ServerFoldersStayInsideTheRootFolder) {
  startService();
  run(0);
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
  const std::pair<const char*, const char*> refused[] = {
      {"DeployFolder", "../../../../escaped"}, {"DeployFolder", "a\\..\\..\\..\\..\\escaped"},
      {"DeployFolder", "/tmp/x"}, {"DeployFolder", "\\\\server\\share"}, {"DeployFolder", "C:\\x"},
      {"DeployFolder", "C:x"}, {"DeployFolder", "a//b"}, {"DeployFolder", "a/"},
      {"DeployFolder", " .. "}, {"DeployFolder", "NUL"}, {"DeployFolder", "Broker\\com1.txt"},
      {"LoginType", ".."}};
  for (const auto& [field, value] : refused) {
    try {
      startWith(field, value);
      ADD_FAILURE() << field << " " << value << " was used";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.description(),
                texts::kFolderRefusedStart + std::string(field) + texts::kFolderRefusedEnd);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(temp.path() / "escaped"));
}

TEST_F(DeploymentStartTest, TheQuestionDecidesWhenTheDeploymentDoesNotSay) {
  startService();
  writeStamp("AcmePilot", "INSTALL_30", "10/15/2026 5:45:00 PM");
  view.answerNext(Answer::Yes);
  run(2);
  ASSERT_GE(view.messageBoxCount(), 1);
  EXPECT_EQ(view.lastMessageBox().text, texts::kCheckForUpdatesQuestion);
  EXPECT_EQ(view.lastMessageBox().buttons, Buttons::YesNo);
  EXPECT_EQ(lastUpdateKeys(), (std::vector<std::string>{"INSTALL_30"})) << "custom group 0";
  EXPECT_TRUE(state().install.skipUpdates) << "US-form stamp equal to the server's";
}

TEST_F(DeploymentStartTest, AnsweringNoSkipsUpdatesWithoutAProbe) {
  startService();
  view.answerNext(Answer::No);
  run(2);
  EXPECT_EQ(state().updateCheckAnswer, 7);
  EXPECT_TRUE(state().install.skipUpdates);
  EXPECT_TRUE(lastUpdateKeys().empty());
  ASSERT_EQ(ref.notes().size(), 1u);
  EXPECT_NE(ref.notes()[0].text.find("Has admin access = Yes\r\n"), std::string::npos);
  EXPECT_FALSE(
      std::filesystem::exists(platform::pathFromUtf8(common("BROKER", "AcmePilot")) / "CVTest"));
}

TEST_F(DeploymentStartTest, ClientDeploymentsUseTheGeneralObjectAndNoStamps) {
  startService();
  ref.expectCall("CVBOGeneral_V3.Init", "LoginUser");
  run(1);
  EXPECT_TRUE(lastUpdateKeys().empty());
  EXPECT_FALSE(state().install.skipUpdates);
  EXPECT_EQ(state().folders.commonFolder, common("CLIENT", "AcmeClient"));
}

TEST_F(DeploymentStartTest, SharedMachineAdminUpdatesWithoutBeingAsked) {
  startService(SmallWorld(),
               "<z:row PropName='SharedEnvironment' PropValue='TRUE'/>\n"
               "<z:row PropName='UPDATEADMINLOGIN' PropValue='ADMIN1'/>\n"
               "<z:row PropName='UPDATEADMINLOGIN' PropValue='john'/>\n");
  run(2);
  EXPECT_EQ(view.messageBoxCount(), 0);
  EXPECT_TRUE(state().install.isUpdateAdmin);
  EXPECT_FALSE(state().install.checkOnly);
  EXPECT_EQ(state().updateCheckAnswer, 6);
}

TEST_F(DeploymentStartTest, SharedMachineOtherLoginsOnlyCount) {
  startService(SmallWorld(), "<z:row PropName='SharedEnvironment' PropValue='TRUE'/>\n");
  run(0);
  EXPECT_EQ(view.messageBoxCount(), 0);
  EXPECT_TRUE(state().install.checkOnly);
  EXPECT_FALSE(state().install.isUpdateAdmin);
  EXPECT_FALSE(state().install.skipUpdates);
  EXPECT_EQ(view.label(Label::FrameStatus), "0 updates found...");
  EXPECT_EQ(messages(), (std::vector<std::string>{"[Acme Broker] - initializing..."}));
  EXPECT_EQ(state().install.installList.recordCount(), 2) << "every row is examined";
}

TEST_F(DeploymentStartTest, ARefusedSecondLoginEndsTheProgramWithoutTimerOrReport) {
  auto world = SmallWorld();
  world.logins[1].password = " one ";  // isValidLogin sees the spaces, LoginUser does not
  startService(world);
  load();
  login("acme", "one", " one ");
  ASSERT_TRUE(view.terminated());
  EXPECT_EQ(view.lastMessageBox().text, texts::kLoginCheckDescription);
  EXPECT_EQ(view.lastMessageBox().text,
            "The filer code/login/password you have supplied is not valid.");
  EXPECT_EQ(view.lastMessageBox().title, std::optional<std::string>("Velmora Zentro"));
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

TEST_F(DeploymentStartTest, TheTokenGoesAfterEverySchemeSeparator) {
  auto world = SmallWorld();
  world.servers[0].path = "/cvbo/s1?mirror=https://mirror.example";
  startService(world);
  run(0);
  const std::string token = state().loginToken;
  const std::string url = ref.serverUrl("S1");
  ASSERT_EQ(url.rfind("http://", 0), 0u);
  EXPECT_EQ(state().busObjUrl, "http://" + token + "@" + url.substr(7, url.find("https://") - 7) +
                                   "https://" + token + "@mirror.example");
  EXPECT_EQ(state().install.installFilesUrl, url + "/BROKER/InstallFiles/")
      << "the download base keeps the stored URL";
}

TEST_F(DeploymentStartTest, TheCloseBoxIsRefusedWhileTheInstallPanelShows) {
  startService();
  run(1);
  EXPECT_TRUE(view.closeBox());
  EXPECT_TRUE(view.panelVisible(Panel::Install));
  EXPECT_TRUE(view.installTimerEnabled());
}

}  // namespace
}  // namespace zentro::testing
