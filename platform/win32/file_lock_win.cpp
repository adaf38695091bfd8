// Whether another program holds a file so that it cannot be replaced: an open for writing and
// deleting that shares everything still fails with a sharing or lock violation.
#include "platform/file_lock.h"

#include <windows.h>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {

bool fileInUse(const std::string& path) {
  const std::wstring wide = win32::toWide(path);
  if (wide.empty()) return false;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace zentro::platform
