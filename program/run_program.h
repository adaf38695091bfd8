#pragma once
// What both entry points do once their window exists: Form_Load before the window is first
// shown, then the window's event loop until it unloads. Returns the run's exit status.

#include <memory>
#include <utility>

#include "app/event_guard.h"
#include "app/form_login.h"

namespace zentro {

// `runLoop` runs the toolkit's event loop; it returns when the window has unloaded. `loaded`:
// what LoadConfig made before the window existed, if anything.
template <class View, class Loop>
int runProgram(View& view, Loop runLoop, std::unique_ptr<ProgramState> loaded = nullptr) {
  FrmLogin controller(view, {}, std::move(loaded));
  EventGuard guard(controller, view);
  view.attach(guard);

  guard.Form_Load();
  if (view.ended()) return controller.exitStatus();
  view.show();
  runLoop();
  return controller.exitStatus();
}

}  // namespace zentro
