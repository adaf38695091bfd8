// The program: frmLogin is the start object. Creating the window runs Form_Load before the
// window is first shown; the program ends when the window unloads.
#include <windows.h>

#include <string>

#include "app/event_guard.h"
#include "app/form_login.h"
#include "platform/program_info.h"
#include "platform/win32/win32_view.h"

namespace {

// The raw command-line text after the program's own path, as the system hands it over: the
// path itself may be quoted and is followed by blanks.
std::string argumentText() {
  const char* line = GetCommandLineA();
  if (!line) return {};
  const char* p = line;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  zentro::platform::setCommandLine(argumentText());

  zentro::win32::Win32View view(instance);
  if (!view.windowHandle()) return 1;
  zentro::FrmLogin controller(view);
  zentro::EventGuard guard(controller, view);
  view.attach(guard);

  guard.Form_Load();
  if (view.ended()) return 0;
  view.show();
  return view.run();
}
