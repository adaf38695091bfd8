// Folder facts from the system: the shell's folder query, the system and Windows folders,
// the module's own path and the temp folder, all through the 8-bit calls with the buffer
// sizes the program has always used.
#include "platform/paths.h"

#include <windows.h>
#include <shlobj.h>

namespace zentro::platform {
namespace {

constexpr DWORD kMaxPathBuffer = 260;
constexpr UINT kFolderBuffer = 255;

// The text up to the first NUL of a filled buffer.
std::string cutAtNul(const char* buffer, std::size_t size) {
  std::size_t n = 0;
  while (n < size && buffer[n] != '\0') ++n;
  return std::string(buffer, n);
}

// The module's own path; long paths get a bigger buffer until they fit.
std::string modulePath() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::size_t lastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

}  // namespace

char pathSeparator() { return '\\'; }

std::string joinPath(const std::string& a, const std::string& b) {
  return a + pathSeparator() + b;
}

std::string roamingAppDataFolder() {
  char buffer[kMaxPathBuffer] = {};
  HRESULT hr = SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(hr)) return {};
  return cutAtNul(buffer, sizeof buffer);
}

std::string systemFolder() {
  char buffer[kFolderBuffer] = {};
  UINT n = GetSystemDirectoryA(buffer, kFolderBuffer);
  if (n == 0 || n >= kFolderBuffer) return {};
  return cutAtNul(buffer, sizeof buffer);
}

std::string windowsFolder() {
  char buffer[kFolderBuffer] = {};
  UINT n = GetWindowsDirectoryA(buffer, kFolderBuffer);
  if (n == 0 || n >= kFolderBuffer) return {};
  return cutAtNul(buffer, sizeof buffer);
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
  char buffer[kFolderBuffer + 1] = {};
  DWORD n = GetTempPathA(kFolderBuffer, buffer);
  if (n == 0 || n > kFolderBuffer) return {};
  std::string path(buffer, n);
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string fullPathName(const std::string& path) {
  if (path.empty()) return {};
  char buffer[kFolderBuffer] = {};
  DWORD n = GetFullPathNameA(path.c_str(), kFolderBuffer, buffer, nullptr);
  if (n == 0 || n >= kFolderBuffer) return {};
  return std::string(buffer, n);
}

bool createFolder(const std::string& path) {
  if (path.empty()) return false;
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

}  // namespace zentro::platform
