// Whether another program holds a file so that it cannot be replaced: an open for writing and
// deleting that shares everything still fails with a sharing or lock violation. The program's
// own hold is such an open, sharing reading only.
#include "platform/file_lock.h"

#include <windows.h>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

class WinFileLock : public HeldFileLock {
 public:
  explicit WinFileLock(HANDLE handle) : handle_(handle) {}
  // Opened to be deleted on close: the file goes with the hold, and with a process that dies.
  ~WinFileLock() override { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

}  // namespace

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

std::unique_ptr<HeldFileLock> holdNewFileLock(const std::string& path) {
  const std::wstring wide = win32::toWide(path);
  if (wide.empty()) return nullptr;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                         nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinFileLock>(h);
}

bool removeUnlessInUse(const std::string& path) {
  // A held file does not share deleting, so Windows refuses while its holder lives.
  const std::wstring wide = win32::toWide(path);
  return !wide.empty() && DeleteFileW(wide.c_str()) != 0;
}

}  // namespace zentro::platform
