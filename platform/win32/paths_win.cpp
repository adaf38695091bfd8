// Folder facts from Windows: the shell's folder query, the system and Windows folders,
// the module's own path and the temp folder, all through the wide calls with the buffer
// sizes the program has always used, converted to UTF-8.
#include "platform/paths.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

using win32::fromWide;
using win32::fromWideUntilNul;
using win32::toWide;

constexpr DWORD kMaxPathBuffer = 260;
constexpr UINT kFolderBuffer = 255;

// The module's own path; long paths get a bigger buffer until they fit.
std::string modulePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return fromWide(buffer);
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::size_t lastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

}  // namespace

char pathSeparator() { return '\\'; }

std::string joinPath(const std::string& a, const std::string& b) {
  std::string path;
  path.reserve(a.size() + 1 + b.size());
  return path.append(a).append(1, pathSeparator()).append(b);
}

std::string roamingAppDataFolder() {
  wchar_t buffer[kMaxPathBuffer] = {};
  HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(hr)) return {};
  return fromWideUntilNul(std::wstring_view(buffer, kMaxPathBuffer));
}

// The deployments' components are 32-bit programs and libraries, so SYSTEMDIR is the folder
// 32-bit programs load from: SysWOW64 on 64-bit Windows (this 64-bit program would otherwise
// get System32, where no 32-bit program looks), System32 on 32-bit Windows, where the WOW64
// query fails.
std::string systemFolder() {
  wchar_t buffer[kFolderBuffer] = {};
  UINT n = GetSystemWow64DirectoryW(buffer, kFolderBuffer);
  if (n == 0 || n >= kFolderBuffer) n = GetSystemDirectoryW(buffer, kFolderBuffer);
  if (n == 0 || n >= kFolderBuffer) return {};
  return fromWideUntilNul(std::wstring_view(buffer, kFolderBuffer));
}

// The machine's own Windows folder also on a terminal server: the program is marked
// terminal-server aware (see platform/win32/CMakeLists.txt), so Windows does not hand it a
// private per-user Windows folder.
std::string windowsFolder() {
  wchar_t buffer[kFolderBuffer] = {};
  UINT n = GetWindowsDirectoryW(buffer, kFolderBuffer);
  if (n == 0 || n >= kFolderBuffer) return {};
  return fromWideUntilNul(std::wstring_view(buffer, kFolderBuffer));
}

std::string programFolder() {
  std::string exe = modulePath();
  std::size_t sep = lastSeparator(exe);
  if (sep == std::string::npos) return {};
  // "C:\" keeps its separator: the drive root is itself the folder.
  if (sep == 2 && exe[1] == ':') return exe.substr(0, 3);
  return exe.substr(0, sep);
}

std::string programBaseName() {
  std::string exe = modulePath();
  std::size_t sep = lastSeparator(exe);
  std::string name = sep == std::string::npos ? exe : exe.substr(sep + 1);
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string tempPath() {
  wchar_t buffer[kFolderBuffer + 1] = {};
  DWORD n = GetTempPathW(kFolderBuffer, buffer);
  if (n == 0 || n > kFolderBuffer) return {};
  std::string path = fromWide(std::wstring_view(buffer, n));
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string fullPathName(const std::string& path) {
  if (path.empty()) return {};
  const std::wstring wide = toWide(path);
  if (wide.empty()) return {};
  wchar_t buffer[kFolderBuffer] = {};
  DWORD n = GetFullPathNameW(wide.c_str(), kFolderBuffer, buffer, nullptr);
  if (n == 0 || n >= kFolderBuffer) return {};
  return fromWide(std::wstring_view(buffer, n));
}

bool createFolder(const std::string& path) {
  const std::wstring wide = toWide(path);
  if (wide.empty()) return false;
  return CreateDirectoryW(wide.c_str(), nullptr) != 0;
}

}  // namespace zentro::platform
