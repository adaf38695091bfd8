// The login window through the scripted window: start-up (caption, configuration, remembered
// login, command line), closing (close box, Cancel, what the settings store holds afterwards),
// and the login flow and deployment selection against the reference service.
#include <gtest/gtest.h>

#include "app/app_texts.h"
#include "tests/app/app_fixture.h"

namespace zentro::testing {
namespace {

TEST_F(AppTest, StartUpSetsTheCaptionAndReadsTheConfiguration) {
  writeConfig(
      "<z:row PropName='BaseURL' PropValue='   '/>\n"
      "<z:row PropName='SharedEnvironment' PropValue=' yes '/>\n"
      "<z:row PropName='WarnIfUpdates' PropValue=' w '/>\n"
      "<z:row PropName='RunFromTemp' PropValue=' true '/>\n");
  load("\"USEPROFILE\"");  // quoted or not, the switch alone carries no login
  EXPECT_EQ(view.text(TextBox::FilerCode), "");
  const auto v = platform::programVersion();
  EXPECT_EQ(view.caption(), "VMI Zentro, version " + std::to_string(v.major) + "." +
                                std::to_string(v.minor) + ".0." + std::to_string(v.revision));
  EXPECT_EQ(state().baseUrl, texts::kDefaultBaseUrl) << "blanks only: the built-in URL";
  EXPECT_FALSE(state().sharedEnvironment) << "only TRUE switches it on";
  EXPECT_EQ(state().warnIfUpdates, "w");
  EXPECT_TRUE(state().runFromTemp);
  EXPECT_TRUE(state().useProfile);
  EXPECT_FALSE(state().commandLineLogin);
  EXPECT_TRUE(std::filesystem::is_directory(platform::pathFromUtf8(rootFolder()) / "Temp"));
  EXPECT_TRUE(view.refreshVisible());
  EXPECT_TRUE(view.rememberEnabled());

  // The program reads the configuration before its window exists; that reading is the run's.
  platform::setCommandLine("USEPROFILE");
  std::unique_ptr<ProgramState> early = LoadConfig();
  writeConfig("");
  open(view, "USEPROFILE", {}, std::move(early));
  EXPECT_EQ(state().warnIfUpdates, "w");
  EXPECT_TRUE(state().runFromTemp);
  EXPECT_TRUE(state().useProfile);
}

TEST_F(AppTest, TheCloseBoxIsRefusedThenTheRememberedLoginRoundTripsOnASingleMachine) {
  platform::saveSetting("VMIZentro", "LoginInfo", "Remember", "-1");
  load();
  EXPECT_FALSE(view.rememberChecked()) << "only a stored 1 checks the box";
  EXPECT_TRUE(view.closeBox());
  EXPECT_TRUE(view.journalHas("msgbox[Ok,None,'']: Please use the \"Cancel\" button if you wish "
                              "to close this program now."));
  EXPECT_FALSE(view.ended());
  EXPECT_EQ(stored("Remember"), "-1") << "nothing is saved while the window stays";

  view.typeText(TextBox::FilerCode, "abc");
  view.typeText(TextBox::Login, "jdoe");
  view.typeText(TextBox::Password, "never-stored");
  view.clickRemember(true);
  guard->cmdCancel_Click();
  ASSERT_TRUE(view.unloaded());
  // Stored exactly as typed, but for the password.
  EXPECT_EQ(storedLogin(), (std::vector<std::string>{"abc", "jdoe", "", "1"}));

  ScriptedView& next = runLauncher("USEPROFILE");
  EXPECT_EQ(typed(next), (std::vector<std::string>{"abc", "jdoe", ""}));
  EXPECT_TRUE(next.rememberChecked());

  // Unchecked: the remembered login is erased.
  next.clickRemember(false);
  guard->cmdCancel_Click();
  EXPECT_EQ(storedLogin(), (std::vector<std::string>{"", "", "", "0"}));
}

TEST_F(AppTest, SharedMachineRemembersOnlyTheFilerCode) {
  writeConfig("<z:row PropName='SharedEnvironment' PropValue=' True '/>\n");
  platform::saveSetting("VMIZentro", "LoginInfo", "FilerCode", "ABC");
  platform::saveSetting("VMIZentro", "LoginInfo", "Login", "JDOE");
  platform::saveSetting("VMIZentro", "LoginInfo", "Remember", "1");
  load();
  EXPECT_TRUE(state().sharedEnvironment);
  EXPECT_EQ(typed(view), (std::vector<std::string>{"ABC", "", ""}));
  EXPECT_FALSE(view.rememberChecked());
  EXPECT_FALSE(view.rememberEnabled());
  EXPECT_FALSE(view.refreshVisible());
  EXPECT_FALSE(view.refreshEnabled());

  view.typeText(TextBox::Login, "SOMEONE");
  view.typeText(TextBox::Password, "pw");
  view.clickRemember(true);
  guard->cmdCancel_Click();
  EXPECT_EQ(storedLogin(), (std::vector<std::string>{"ABC", "", "", "0"}));
}

TEST_F(AppTest, CommandLineFillsTheBoxesAndLogsInAtOnce) {
  startService();
  ref.expectCall("CVBO_V2.Init", "LoginUserHex");
  view.answerNext(Answer::No);  // the pilot asks whether to check for updates
  load(std::string("\"acme|john|") + kJohnPassword + "|useprofile\"");
  EXPECT_EQ(typed(view), (std::vector<std::string>{"ACME", "JOHN", kJohnPassword}));
  EXPECT_TRUE(state().commandLineLogin);
  EXPECT_TRUE(state().useProfile) << "the fourth field switches the profile on";
  // Three choices in an automatic login: the last one starts, without the grid.
  EXPECT_FALSE(view.panelVisible(Panel::Versions));
  EXPECT_FALSE(view.panelVisible(Panel::Login));
  EXPECT_EQ(state().install.deploymentCaption, "[Acme Pilot]");
}

TEST_F(AppTest, CommandLineWithTooFewFieldsOrABlankPasswordFillsTheBoxesAndWaits) {
  startService();
  load("acme|john");
  EXPECT_EQ(typed(view), (std::vector<std::string>{"ACME", "JOHN", ""}));
  // The user finishes the boxes and gets the ordinary messages.
  guard->cmdLogin_Click();
  EXPECT_EQ(view.lastMessageBox().text, texts::kPasswordMissing);
  // A blank password in a full command line: silence, and an empty list of choices.
  load("acme|john| |USEPROFILE");
  EXPECT_EQ(view.messageBoxCount(), 1);
  EXPECT_EQ(view.label(Label::Status), "");
  EXPECT_EQ(state().deploymentChoices.recordCount(), 0);
  EXPECT_EQ(state().deploymentChoices.fields().size(), 5u);
  EXPECT_EQ(ref.callCount("GetLoginServersXML"), 0);
}

// --- the login flow and the deployment selection ---

TEST_F(AppTest, EachMissingFieldHasItsMessageAndFocusThenOneChoiceStartsAtOnce) {
  startService();
  load();
  struct Case {
    const char* filer;
    const char* name;
    const char* password;
    const char* message;
    Focusable focus;
  } cases[] = {{"  ", "john", "pw", texts::kFilerCodeMissing, Focusable::FilerCode},
               {"acme", "", "pw", texts::kLoginMissing, Focusable::Login},
               {"acme", "john", "   ", texts::kPasswordMissing, Focusable::Password}};
  for (const auto& c : cases) {
    login(c.filer, c.name, c.password);
    EXPECT_TRUE(view.journalHas("msgbox[Ok,None,'']: " + std::string(c.message)));
    EXPECT_EQ(view.focus(), c.focus);
  }
  EXPECT_EQ(view.lastMessageBox().text, "Password is missing.  Please try again.");
  EXPECT_EQ(ref.callCount("GetLoginServersXML"), 0);

  login("acme", "one", kOnePassword);
  EXPECT_FALSE(view.panelVisible(Panel::Versions));
  EXPECT_TRUE(view.panelVisible(Panel::Install));
  EXPECT_TRUE(view.panelVisible(Panel::Login)) << "only an automatic login hides it";
  EXPECT_EQ(state().install.deploymentCaption, "[Acme Broker]");
  EXPECT_TRUE(view.installTimerEnabled());
}

TEST_F(AppTest, AWrongPasswordIsFailureBAnUnknownLoginFailureAUnreachableServersFailureB) {
  startService();
  ref.expectCall("CVBO_V2.Init", "isValidLogin", 3);
  load();
  login(" acme ", "john", "wrong");
  EXPECT_EQ(view.text(TextBox::FilerCode), " ACME ") << "upper-cased in place, spaces kept";
  EXPECT_EQ(state().filerCode, "ACME");
  EXPECT_EQ(view.label(Label::Status), texts::kInvalidPasswordStatus);
  EXPECT_EQ(view.lastMessageBox().text, texts::kInvalidPasswordMessage);
  EXPECT_EQ(view.focus(), Focusable::FilerCode);
  // Every pair is tried: isValidLogin receives the boxes' texts untrimmed and the client flag
  // by type.
  std::vector<std::string> clientFlags;
  for (const auto& call : ref.calls()) {
    if (call.member != "isValidLogin") continue;
    ASSERT_EQ(call.args.size(), 5u);
    EXPECT_EQ(call.args[0].toText(), " ACME ");
    clientFlags.push_back(call.args[3].debugText());
  }
  EXPECT_EQ(clientFlags, (std::vector<std::string>{"False", "True", "False"}));

  login("acme", "nobody", "pw");
  EXPECT_EQ(view.label(Label::Status), texts::kInvalidLoginStatus);
  EXPECT_EQ(view.lastMessageBox().text, texts::kInvalidLoginMessage);
  EXPECT_EQ(view.focus(), Focusable::FilerCode);
  EXPECT_FALSE(view.busy());
  EXPECT_TRUE(view.journalHas("label Status: Authenticating, please wait..."));

  ref.setMemberFault("S1", "*", {refservice::Fault::Kind::Refuse});
  ref.setMemberFault("S2", "*", {refservice::Fault::Kind::Status500});
  login("acme", "john", kJohnPassword);
  EXPECT_EQ(view.lastMessageBox().text, texts::kInvalidPasswordMessage);
  EXPECT_FALSE(view.ended());
}

TEST_F(AppTest, SeveralChoicesFillTheGridAndADoubleClickStartsARow) {
  auto world = SmallWorld();
  world.servers[1].path = "/cvbo/o'brien";  // an apostrophe still matches its deployments
  startService(world);
  load();
  login("acme", "john", kJohnPassword);
  ASSERT_TRUE(view.panelVisible(Panel::Versions));
  EXPECT_EQ(view.gridRows(), (std::vector<std::string>{" Acme Broker ", "Acme Client",
                                                         "Acme Pilot"}));
  EXPECT_EQ(view.currentGridRow(), 0);
  EXPECT_EQ(view.focus(), Focusable::Grid);
  EXPECT_EQ(view.label(Label::Status), texts::kValidating);
  const Table& choices = state().deploymentChoices;
  ASSERT_EQ(choices.rowCount(), 3u);
  EXPECT_EQ(choices.row(1)[0].toText(), "S2");
  EXPECT_EQ(choices.row(1)[2].toText(), "CLIENT");

  // Double-click below the rows starts nothing; Cancel returns to the login panel.
  guard->grdVersions_DblClick(7);
  EXPECT_FALSE(view.panelVisible(Panel::Install));
  guard->cmdCancVersion_Click();
  EXPECT_FALSE(view.panelVisible(Panel::Versions));
  EXPECT_EQ(view.focus(), Focusable::FilerCode);

  // Login again rebuilds the choices; a double click on the second row starts the client
  // (Run is what every deployment_start_test run presses).
  guard->cmdLogin_Click();
  ASSERT_TRUE(view.panelVisible(Panel::Versions));
  view.clickGridRow(1);
  guard->grdVersions_DblClick(1);
  EXPECT_EQ(state().install.deploymentCaption, "[Acme Client]");
  EXPECT_TRUE(view.panelVisible(Panel::Install));
}

}  // namespace
}  // namespace zentro::testing
