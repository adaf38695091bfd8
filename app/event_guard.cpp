#include "app/event_guard.h"

#include "platform/run_log.h"

namespace zentro {

void EventGuard::report(const std::string& description) {
  logLine(LogLevel::Error, "run-time error: " + description);
  view_.messageBox(description, Buttons::Ok, Icon::None, std::string(kProductName));
  view_.terminate(kRunTimeErrorExit);
}

void EventGuard::Form_Load() { guarded([&] { inner_.Form_Load(); }); }
bool EventGuard::Form_QueryUnload(UnloadReason reason) {
  bool cancel = false;
  guarded([&] { cancel = inner_.Form_QueryUnload(reason); });
  return cancel;
}
void EventGuard::Form_Unload() { guarded([&] { inner_.Form_Unload(); }); }
void EventGuard::cmdLogin_Click() { guarded([&] { inner_.cmdLogin_Click(); }); }
void EventGuard::cmdCancel_Click() { guarded([&] { inner_.cmdCancel_Click(); }); }
void EventGuard::cmdRefresh_Click() { guarded([&] { inner_.cmdRefresh_Click(); }); }
void EventGuard::cmdRunVersion_Click() { guarded([&] { inner_.cmdRunVersion_Click(); }); }
void EventGuard::grdVersions_DblClick(int row) { guarded([&] { inner_.grdVersions_DblClick(row); }); }
void EventGuard::cmdCancVersion_Click() { guarded([&] { inner_.cmdCancVersion_Click(); }); }
void EventGuard::tmrComInstall_Timer() { guarded([&] { inner_.tmrComInstall_Timer(); }); }

}  // namespace zentro
