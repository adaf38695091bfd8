#pragma once
// Windows-only part of the shell seam (platform/shell.h).

#include <windows.h>

namespace zentro::platform::win32 {

// The window that owns the shell's dialogs (the elevation prompt among them) in shellExecute:
// the launcher's own form, set once by main on the window thread before the first start.
// Until then the shell starts programs without an owner.
void setShellOwnerWindow(HWND window);

}  // namespace zentro::platform::win32
