// FrmLogin's login flow (the Login button and the automatic login, cmdLogin_Click) and the
// deployment selection (cmdRunVersion_Click, grdVersions_DblClick, cmdCancVersion_Click),
// declared in app/form_login.h.
#include <vector>

#include "app/app_texts.h"
#include "app/form_login.h"
#include "app/form_login_impl.h"
#include "platform/ascii_text.h"
#include "platform/run_log.h"
#include "platform/runtime_error.h"
#include "remote/data_space.h"
#include "remote/text_case.h"
#include "remote/xml_answer.h"

namespace zentro {
namespace {

Table newDeploymentChoices() {
  return Table({{"LoginServerName", FieldType::String, 100, true},
                {"BusObjURL", FieldType::String, 500, true},
                {"LoginType", FieldType::String, 10, true},
                {"CVDeploymentID", FieldType::Int64, 8, true},
                {"LoginDescription", FieldType::String, 255, true}});
}

// The text of a field; a NULL reads as "" (the field must exist: a missing one is an error).
std::string textOf(const Table& t, const char* field) {
  return t.field(field).toText().value_or("");
}

// The steps of one login attempt, in the order cmdLogin_Click runs them. Each step reads and
// writes the program-wide state (ProgramState says which step sets which value). Errors
// outside the per-server tries are untrapped and end the program.
class LoginAttempt {
 public:
  LoginAttempt(ProgramState& state, View& view) : s_(state), view_(view) {}

  // The filer code and login boxes show their texts upper-cased from now on.
  void upperCaseBoxes() {
    view_.setText(TextBox::FilerCode, upperCase(view_.text(TextBox::FilerCode)));
    view_.setText(TextBox::Login, upperCase(view_.text(TextBox::Login)));
  }

  // False at the first box that is empty after trimming: a typed login says which and puts
  // the focus there; an automatic login returns silently.
  bool inputsPresent() {
    const struct {
      TextBox box;
      const char* message;
      Focusable focus;
    } checks[] = {{TextBox::FilerCode, texts::kFilerCodeMissing, Focusable::FilerCode},
                  {TextBox::Login, texts::kLoginMissing, Focusable::Login},
                  {TextBox::Password, texts::kPasswordMissing, Focusable::Password}};
    for (const auto& check : checks) {
      if (!platform::trim(view_.text(check.box)).empty()) continue;
      if (!s_.commandLineLogin) {
        view_.messageBox(check.message, Buttons::Ok, Icon::None, std::string());
        view_.setFocus(check.focus);
      }
      return false;
    }
    return true;
  }

  void takeLoginValues() {
    s_.filerCode = platform::trim(view_.text(TextBox::FilerCode));
    s_.loginName = platform::trim(view_.text(TextBox::Login));
    s_.loginPassword = platform::trim(view_.text(TextBox::Password));
    logLine(LogLevel::Info, "login of " + s_.filerCode + "/" + s_.loginName + " at " + s_.baseUrl);
  }

  // Asks the login object at the base URL for the login servers and the deployments of this
  // filer code and login (the password is not sent).
  void fetchLoginLists(platform::HttpClient& client, const CallLimits& limits) {
    view_.setBusy(true);
    view_.setLabel(Label::Status, texts::kAuthenticating);
    view_.repaint();
    DataSpace dataSpace(client, limits);
    auto loginService = dataSpace.createObject(texts::kLoginProgId, s_.baseUrl);
    s_.loginServersXml = loginService->invoke("GetLoginServersXML",
                                              {Arg::byRef(s_.filerCode), Arg::byRef(s_.loginName)})
                             .toText()
                             .value_or("");
    s_.deploymentsXml = loginService->invoke("GetDeploymentsXML",
                                             {Arg::byRef(s_.filerCode), Arg::byRef(s_.loginName)})
                            .toText()
                            .value_or("");
  }

  // False when the list is empty.
  bool loadLoginServers() {
    s_.loginServers = loadXmlAnswer(s_.loginServersXml);
    if (s_.loginServers.recordCount() > 0) return true;
    logLine(LogLevel::Info, "no login servers for this filer code and login");
    return false;
  }

  // False when the list is empty.
  bool loadDeployments() {
    view_.setLabel(Label::Status, texts::kValidating);
    view_.repaint();
    s_.deployments = loadXmlAnswer(s_.deploymentsXml);
    if (s_.deployments.recordCount() > 0) return true;
    logLine(LogLevel::Info, "no deployments for this filer code and login");
    return false;
  }

  // Asks every login server, for each of its deployments, whether the boxes' filer code,
  // login and password are valid there; the deployments that pass become deploymentChoices.
  // Every (server, deployment) pair is tried.
  void collectValidDeployments(platform::HttpClient& client, const CallLimits& limits) {
    DataSpace dataSpace(client, limits);
    for (s_.loginServers.moveFirst(); !s_.loginServers.eof(); s_.loginServers.moveNext()) {
      const std::string serverName = textOf(s_.loginServers, "ServerName");
      const std::string serverUrl = textOf(s_.loginServers, "BusObjURL");
      s_.deployments.setFilter("BusObjURL = " + criteriaLiteral(serverUrl));
      std::unique_ptr<ServiceObject> loginService;
      if (s_.deployments.recordCount() > 0) {
        try {
          loginService = dataSpace.createObject(texts::kLoginProgId, serverUrl);
        } catch (const RuntimeError& e) {
          // This server's deployments are skipped; the other servers are still tried.
          logLine(LogLevel::Warning, "login server " + serverName + ": " + e.description());
        }
        if (!loginService) s_.deployments.setFilter("CVDeploymentID = 0");
      }
      for (; !s_.deployments.eof(); s_.deployments.moveNext()) {
        tryDeployment(loginService.get(), serverName, serverUrl);
      }
    }
    s_.deployments.setFilter("");
    view_.setBusy(false);
    logLine(LogLevel::Info,
            std::to_string(s_.deploymentChoices.recordCount()) + " deployment(s) offered");
  }

  // Shows the choices in the grid, the first one current, on the selection panel.
  void offerChoices() {
    std::vector<std::string> rows;
    for (s_.deploymentChoices.moveFirst(); !s_.deploymentChoices.eof();
         s_.deploymentChoices.moveNext()) {
      rows.push_back(textOf(s_.deploymentChoices, "LoginDescription"));
    }
    view_.setGridRows(rows);
    view_.setCurrentGridRow(0);
    view_.setPanelVisible(Panel::Versions, true);
    view_.setFocus(Focusable::Grid);
  }

  // The status text and message of a refused attempt, and the focus back to the filer code.
  void fail(const char* status, const char* message) {
    view_.setBusy(false);
    view_.setLabel(Label::Status, status);
    view_.messageBox(message, Buttons::Ok, Icon::None, std::string());
    view_.setFocus(Focusable::FilerCode);
  }

 private:
  // The current row of the filtered `deployments` at one server; appended to
  // deploymentChoices when the server says the login is valid. Any error of the check counts
  // as not valid.
  void tryDeployment(ServiceObject* loginService, const std::string& serverName,
                     const std::string& serverUrl) {
    const std::string type = textOf(s_.deployments, "DeploymentType");
    const Value id = s_.deployments.field("CVDeploymentID");
    const std::string description = textOf(s_.deployments, "DeploymentDescription");
    // Read for its failure only: a deployment row without BusObjURL ends the program like a
    // row without the other fields, even though the filter has matched the server's URL.
    s_.deployments.field("BusObjURL");
    bool valid = false;
    if (loginService) {
      // The service may write into the automatic-login flag; that write is not kept.
      bool automatic = s_.commandLineLogin;
      try {
        valid = loginService
                    ->invoke("isValidLogin",
                             {Arg::byVal(view_.text(TextBox::FilerCode)),
                              Arg::byVal(view_.text(TextBox::Login)),
                              Arg::byVal(view_.text(TextBox::Password)),
                              Arg::byVal(upperCase(platform::trim(type)) == "CLIENT"),
                              Arg::byRef(automatic)})
                    .toBool()
                    .value_or(false);
      } catch (const RuntimeError& e) {
        logLine(LogLevel::Warning, "isValidLogin at " + serverName + ": " + e.description());
      }
    }
    if (valid) {
      s_.deploymentChoices.appendRow({Value(serverName), Value(serverUrl), Value(upperCase(type)),
                                      Value(id.toInt64().value_or(0)), Value(description)});
    }
  }

  ProgramState& s_;
  View& view_;
};

}  // namespace

void FrmLogin::cmdLogin_Click() {
  ProgramState& s = *state_;
  LoginAttempt attempt(s, view_);
  s.deploymentChoices = newDeploymentChoices();
  attempt.upperCaseBoxes();
  if (!attempt.inputsPresent()) return;
  attempt.takeLoginValues();
  attempt.fetchLoginLists(impl_->client(), impl_->limits);
  if (!attempt.loadLoginServers() || !attempt.loadDeployments()) {
    attempt.fail(texts::kInvalidLoginStatus, texts::kInvalidLoginMessage);
    return;
  }
  attempt.collectValidDeployments(impl_->client(), impl_->limits);

  // One choice starts at once; an automatic login starts the last of several; a typed login
  // lets the user choose among several.
  const long count = s.deploymentChoices.recordCount();
  if (count == 0) {
    attempt.fail(texts::kInvalidPasswordStatus, texts::kInvalidPasswordMessage);
  } else if (count == 1 || s.commandLineLogin) {
    if (count == 1) s.deploymentChoices.moveFirst();
    else s.deploymentChoices.moveLast();
    StartDeployment();
  } else {
    attempt.offerChoices();
  }
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
