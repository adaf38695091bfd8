#pragma once
// The one boundary where window events enter the logic. Forwards each event to the
// controller; an error that no step trapped ends the program with the run-time error report:
// a message box with the error's description under the product name, then the program ends
// without saving anything. Window thread only.

#include "platform/view.h"

namespace zentro {

class EventGuard : public FormEvents {
 public:
  EventGuard(FormEvents& inner, View& view) : inner_(inner), view_(view) {}

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

  // Runs `handler` with the run-time error report around it. Public so window adapters can
  // guard their own callbacks (such as queued transfer events) the same way.
  template <class F> void guarded(F&& handler);

  // Exit code of a program ended by the run-time error report.
  static constexpr int kRunTimeErrorExit = 3;

 private:
  void report(const std::string& description);
  FormEvents& inner_;
  View& view_;
};

}  // namespace zentro

#include "app/event_guard_impl.h"
