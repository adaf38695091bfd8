// The login flow and the deployment selection against the reference service.
#include <gtest/gtest.h>

#include "app/app_texts.h"
#include "tests/app/app_fixture.h"

namespace zentro::testing {
namespace {

TEST_F(AppTest, EachMissingFieldHasItsMessageAndFocus) {
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
    EXPECT_EQ(view.lastMessageBox().text, c.message);
    EXPECT_EQ(view.lastMessageBox().title, std::optional<std::string>(""));
    EXPECT_EQ(view.focus(), c.focus);
  }
  EXPECT_EQ(view.lastMessageBox().text, "Password is missing.  Please try again.");
  EXPECT_EQ(ref.callCount("GetLoginServersXML"), 0);
}

TEST_F(AppTest, UnknownLoginIsFailureA) {
  startService();
  load();
  login("acme", "nobody", "pw");
  EXPECT_EQ(view.label(Label::Status), texts::kInvalidLoginStatus);
  EXPECT_EQ(view.lastMessageBox().text, texts::kInvalidLoginMessage);
  EXPECT_EQ(view.focus(), Focusable::FilerCode);
  EXPECT_FALSE(view.busy());
  EXPECT_TRUE(view.journalHas("label Status: Authenticating, please wait..."));
}

TEST_F(AppTest, WrongPasswordIsFailureBAndEveryPairIsTried) {
  startService();
  ref.expectCall("CVBO_V2.Init", "isValidLogin", 3);
  load();
  login(" acme ", "john", "wrong");
  EXPECT_EQ(view.text(TextBox::FilerCode), " ACME ") << "upper-cased in place, spaces kept";
  EXPECT_EQ(state().filerCode, "ACME");
  EXPECT_EQ(view.label(Label::Status), texts::kInvalidPasswordStatus);
  EXPECT_EQ(view.lastMessageBox().text, texts::kInvalidPasswordMessage);
  EXPECT_EQ(view.focus(), Focusable::FilerCode);
  // isValidLogin receives the boxes' texts untrimmed and the client flag by type.
  std::vector<std::string> clientFlags;
  for (const auto& call : ref.calls()) {
    if (call.member != "isValidLogin") continue;
    ASSERT_EQ(call.args.size(), 5u);
    EXPECT_EQ(call.args[0].toText(), " ACME ");
    clientFlags.push_back(call.args[3].debugText());
  }
  EXPECT_EQ(clientFlags, (std::vector<std::string>{"False", "True", "False"}));
}

TEST_F(AppTest, UnreachableLoginServersGiveFailureBNotA) {
  auto world = SmallWorld();
  startService(world);
  ref.setMemberFault("S1", "*", {refservice::Fault::Kind::Refuse});
  ref.setMemberFault("S2", "*", {refservice::Fault::Kind::Status500});
  load();
  login("acme", "john", kJohnPassword);
  EXPECT_EQ(view.lastMessageBox().text, texts::kInvalidPasswordMessage);
  EXPECT_FALSE(view.ended());
}

TEST_F(AppTest, OneChoiceStartsAtOnce) {
  startService();
  load();
  login("acme", "one", kOnePassword);
  EXPECT_FALSE(view.panelVisible(Panel::Versions));
  EXPECT_TRUE(view.panelVisible(Panel::Install));
  EXPECT_TRUE(view.panelVisible(Panel::Login)) << "only an automatic login hides it";
  EXPECT_EQ(state().install.deploymentCaption, "[Acme Broker]");
  EXPECT_TRUE(view.installTimerEnabled());
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
