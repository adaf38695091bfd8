// frmLogin: the login flow (Login button, automatic login) and the deployment selection.
#include <vector>

#include "app/app_texts.h"
#include "app/form_login.h"
#include "app/form_login_impl.h"
#include "platform/run_log.h"
#include "remote/data_space.h"
#include "remote/runtime_error.h"
#include "remote/xml_answer.h"

namespace zentro {
namespace {

Table NewDeploymentChoices() {
  return Table({{"LoginServerName", FieldType::String, 100, true},
                {"BusObjURL", FieldType::String, 500, true},
                {"LoginType", FieldType::String, 10, true},
                {"CVDeploymentID", FieldType::Int64, 8, true},
                {"LoginDescription", FieldType::String, 255, true}});
}

// The text of a field; a NULL reads as "" (the field must exist: a missing one is an error).
std::string TextOf(const Table& t, const char* field) {
  return t.field(field).toText().value_or("");
}

}  // namespace

void FrmLogin::cmdLogin_Click() {
  ProgramState& s = *state_;
  s.deploymentChoices = NewDeploymentChoices();

  view_.setText(TextBox::FilerCode, upperCase(view_.text(TextBox::FilerCode)));
  view_.setText(TextBox::Login, upperCase(view_.text(TextBox::Login)));

  const struct {
    TextBox box;
    const char* message;
    Focusable focus;
  } checks[] = {{TextBox::FilerCode, texts::kFilerCodeMissing, Focusable::FilerCode},
                {TextBox::Login, texts::kLoginMissing, Focusable::Login},
                {TextBox::Password, texts::kPasswordMissing, Focusable::Password}};
  for (const auto& check : checks) {
    if (!trimSpaces(view_.text(check.box)).empty()) continue;
    if (!s.commandLineLogin) {
      view_.messageBox(check.message, Buttons::Ok, Icon::None, std::string());
      view_.setFocus(check.focus);
    }
    return;
  }

  s.filerCode = trimSpaces(view_.text(TextBox::FilerCode));
  s.loginName = trimSpaces(view_.text(TextBox::Login));
  s.loginPassword = trimSpaces(view_.text(TextBox::Password));
  logLine(LogLevel::Info, "login of " + s.filerCode + "/" + s.loginName + " at " + s.baseUrl);

  view_.setBusy(true);
  view_.setLabel(Label::Status, texts::kAuthenticating);
  view_.repaint();

  {
    DataSpace dataSpace(impl_->client(), impl_->limits);
    auto loginService = dataSpace.CreateObject(texts::kLoginProgId, s.baseUrl);
    s.loginServersXml = loginService->invoke("GetLoginServersXML",
                                             {Arg::byRef(s.filerCode), Arg::byRef(s.loginName)})
                            .toText()
                            .value_or("");
    s.deploymentsXml = loginService->invoke("GetDeploymentsXML",
                                            {Arg::byRef(s.filerCode), Arg::byRef(s.loginName)})
                           .toText()
                           .value_or("");
  }

  auto failure = [&](const char* status, const char* message) {
    view_.setBusy(false);
    view_.setLabel(Label::Status, status);
    view_.messageBox(message, Buttons::Ok, Icon::None, std::string());
    view_.setFocus(Focusable::FilerCode);
  };

  s.loginServers = LoadXmlAnswer(s.loginServersXml);
  if (s.loginServers.recordCount() == 0) {
    logLine(LogLevel::Info, "no login servers for this filer code and login");
    failure(texts::kInvalidLoginStatus, texts::kInvalidLoginMessage);
    return;
  }
  view_.setLabel(Label::Status, texts::kValidating);
  view_.repaint();
  s.deployments = LoadXmlAnswer(s.deploymentsXml);
  if (s.deployments.recordCount() == 0) {
    logLine(LogLevel::Info, "no deployments for this filer code and login");
    failure(texts::kInvalidLoginStatus, texts::kInvalidLoginMessage);
    return;
  }

  DataSpace dataSpace(impl_->client(), impl_->limits);
  for (s.loginServers.moveFirst(); !s.loginServers.eof(); s.loginServers.moveNext()) {
    const std::string serverName = TextOf(s.loginServers, "ServerName");
    const std::string serverUrl = TextOf(s.loginServers, "BusObjURL");
    s.deployments.setFilter("BusObjURL = " + criteriaLiteral(serverUrl));
    std::unique_ptr<ServiceObject> loginService;
    if (s.deployments.recordCount() > 0) {
      try {
        loginService = dataSpace.CreateObject(texts::kLoginProgId, serverUrl);
      } catch (const RuntimeError& e) {
        // This server's deployments are skipped; the other servers are still tried.
        logLine(LogLevel::Warning, "login server " + serverName + ": " + e.description());
      }
      if (!loginService) s.deployments.setFilter("CVDeploymentID = 0");
    }
    for (; !s.deployments.eof(); s.deployments.moveNext()) {
      const std::string type = TextOf(s.deployments, "DeploymentType");
      const Value id = s.deployments.field("CVDeploymentID");
      const std::string description = TextOf(s.deployments, "DeploymentDescription");
      s.deployments.field("BusObjURL");
      bool valid = false;
      if (loginService) {
        // The service may write into the automatic-login flag; that write is not kept.
        bool automatic = s.commandLineLogin;
        try {
          valid = loginService
                      ->invoke("isValidLogin",
                               {Arg::byVal(view_.text(TextBox::FilerCode)),
                                Arg::byVal(view_.text(TextBox::Login)),
                                Arg::byVal(view_.text(TextBox::Password)),
                                Arg::byVal(upperCase(trimSpaces(type)) == "CLIENT"),
                                Arg::byRef(automatic)})
                      .toBool()
                      .value_or(false);
        } catch (const RuntimeError& e) {
          logLine(LogLevel::Warning, "isValidLogin at " + serverName + ": " + e.description());
        }
      }
      if (valid) {
        s.deploymentChoices.appendRow(
            {Value(serverName), Value(serverUrl), Value(upperCase(type)),
             Value(id.toInt64().value_or(0)), Value(description)});
      }
    }
  }
  s.deployments.setFilter("");
  view_.setBusy(false);

  const long count = s.deploymentChoices.recordCount();
  logLine(LogLevel::Info, std::to_string(count) + " deployment(s) offered");
  if (count == 0) {
    failure(texts::kInvalidPasswordStatus, texts::kInvalidPasswordMessage);
    return;
  }
  if (count == 1) {
    s.deploymentChoices.moveFirst();
    StartDeployment();
    return;
  }
  if (s.commandLineLogin) {
    s.deploymentChoices.moveLast();
    StartDeployment();
    return;
  }
  std::vector<std::string> rows;
  for (s.deploymentChoices.moveFirst(); !s.deploymentChoices.eof();
       s.deploymentChoices.moveNext()) {
    rows.push_back(TextOf(s.deploymentChoices, "LoginDescription"));
  }
  view_.setGridRows(rows);
  view_.setCurrentGridRow(0);
  view_.setPanelVisible(Panel::Versions, true);
  view_.setFocus(Focusable::Grid);
}

void FrmLogin::cmdRunVersion_Click() {
  const int row = view_.currentGridRow();
  const int rows = view_.gridRowCount();
  if (row < 0 || row >= rows) return;
  Table& choices = state_->deploymentChoices;
  choices.moveFirst();
  if (row > 0) choices.move(row);
  StartDeployment();
}

void FrmLogin::grdVersions_DblClick(int row) {
  if (row < 0 || row >= view_.gridRowCount()) return;
  cmdRunVersion_Click();
}

void FrmLogin::cmdCancVersion_Click() {
  view_.setPanelVisible(Panel::Versions, false);
  view_.setFocus(Focusable::FilerCode);
}

}  // namespace zentro
