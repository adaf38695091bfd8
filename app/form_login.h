#pragma once
// frmLogin: the window's logic, toolkit-free. Handles the window's events (FormEvents) and
// talks to the window only through View. Owns the program-wide state of a run.
// Window thread only; remote calls block it on purpose: a login or a deployment start runs to
// its end, its status texts painted on the way, before the next input is handled.

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/program_state.h"
#include "platform/view.h"
#include "remote/data_space.h"

namespace zentro {

class FrmLogin : public FormEvents {
 public:
  // `limits` bound every business-object call of the run (connect and total time); the
  // program uses the defaults, tests pass short ones to see a stalling service fail quickly.
  // `loaded`: the state LoadConfig made before the window existed; none: LoadConfig runs here.
  explicit FrmLogin(View& view, CallLimits limits = {},
                    std::unique_ptr<ProgramState> loaded = nullptr);
  ~FrmLogin() override;

  void Form_Load() override;
  bool Form_QueryUnload(UnloadReason reason) override;
  void Form_Unload() override;
  void cmdLogin_Click() override;
  void cmdCancel_Click() override;
  void cmdRefresh_Click() override;
  void cmdRunVersion_Click() override;
  void grdVersions_DblClick(int row) override;
  void cmdCancVersion_Click() override;
  void tmrComInstall_Timer() override;

  void StartDeployment();

  // How the run went, as the program's exit status once the window has gone. (A run-time
  // error report ends the program with EventGuard::kRunTimeErrorExit instead.) Window thread.
  // Launched, and every update went through:
  static constexpr int kExitCurrent = 0;
  // Launched, but an update failed (download or placing); the next start tries again:
  static constexpr int kExitUpdatesFailed = 1;
  // Ended without launching (installation error, missing rights, the window closed first):
  static constexpr int kExitNotLaunched = 2;
  int exitStatus() const;

  // The run's state, for the window adapters' diagnostics and the tests.
  ProgramState& state() { return *state_; }

 private:
  class Impl;
  View& view_;
  std::unique_ptr<ProgramState> state_;
  std::unique_ptr<Impl> impl_;
};

// The start-up work that needs no window: the base folders, the run log and the configuration
// file, read into a new state. The Qt program runs it while the font configuration is still
// loading and its window does not yet exist; FrmLogin runs it when it is handed no state. A
// failure is kept in the state for Form_Load to report, through the window's error boundary.
std::unique_ptr<ProgramState> LoadConfig();

// The fields of an automatic-login command line: every double quote removed, then split at
// each "|" (no limit on the count).
std::vector<std::string> commandLineFields(const std::string& commandLine);

// Where the password (the third field) lies in `commandLine` as given, quotes included:
// [first, second). An empty range when the text has fewer than three fields.
std::pair<std::size_t, std::size_t> commandLinePasswordSpan(const std::string& commandLine);

}  // namespace zentro
