#pragma once
// frmLogin: the window's logic, toolkit-free. Handles the window's events (FormEvents) and
// talks to the window only through View. Owns the program-wide state of a run.
// Window thread only; remote calls block it, as the system is designed.

#include <memory>
#include <string>

#include "app/program_state.h"
#include "platform/view.h"
#include "remote/data_space.h"

namespace zentro {

class FrmLogin : public FormEvents {
 public:
  // `limits` bound every business-object call of the run (connect and total time); the
  // program uses the defaults, tests pass short ones to see a stalling service fail quickly.
  explicit FrmLogin(View& view, CallLimits limits = {});
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

  // The run's state, for the window adapters' diagnostics and the tests.
  ProgramState& state() { return *state_; }

 private:
  class Impl;
  View& view_;
  std::unique_ptr<ProgramState> state_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zentro
