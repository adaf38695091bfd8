#pragma once
// What both entry points do once their window exists: Form_Load before the window is first
// shown, then the window's event loop until it unloads. Returns the run's exit status.

#include "app/event_guard.h"
#include "app/form_login.h"

namespace zentro {

// `runLoop` runs the toolkit's event loop; it returns when the window has unloaded.
template <class View, class Loop>
int runProgram(View& view, Loop runLoop) {
  FrmLogin controller(view);
  EventGuard guard(controller, view);
  view.attach(guard);

  guard.Form_Load();
  if (view.ended()) return controller.exitStatus();
  view.show();
  runLoop();
  return controller.exitStatus();
}

}  // namespace zentro
