#include "platform/run_log_file.h"

#include <windows.h>

#include "platform/file_path.h"

namespace zentro::platform {

bool RunLogFile::create(const std::string& path) {
  close();
  const std::wstring wide = pathFromUtf8(path).wstring();
  if (wide.empty()) return false;
  // CREATE_NEW fails on any existing name, links included. Without FILE_SHARE_DELETE no other
  // run can delete the log while this one holds it open.
  HANDLE h = CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return true;
}

void RunLogFile::append(std::string_view bytes) {
  if (handle_ == kNone) return;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
    if (!WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

void RunLogFile::close() {
  if (handle_ == kNone) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

}  // namespace zentro::platform
