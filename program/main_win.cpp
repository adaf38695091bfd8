// The program: frmLogin is the start object. Creating the window runs Form_Load before the
// window is first shown; the program ends when the window unloads, with the run's exit status.
#include <windows.h>

#include "app/event_guard.h"
#include "platform/program_info.h"
#include "platform/win32/command_line_win.h"
#include "platform/win32/shell_win.h"
#include "platform/win32/win32_view.h"
#include "program/run_program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The wide command line: login and password may hold any character.
  const wchar_t* line = GetCommandLineW();
  zentro::platform::setCommandLine(zentro::platform::win32::argumentText(line ? line : L""));

  zentro::win32::Win32View view(instance);
  if (!view.windowHandle()) return zentro::EventGuard::kRunTimeErrorExit;
  zentro::platform::win32::setShellOwnerWindow(view.windowHandle());
  return zentro::runProgram(view, [&view] { view.run(); });
}
