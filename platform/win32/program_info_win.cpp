// The program's own facts on Windows: the version from the module's VERSIONINFO resource (the
// build stamps it from the CMake project version), with that build version as the fallback.
#include "platform/program_info.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace zentro::platform {
namespace {

std::string& commandLineText() {
  static std::string text;
  return text;
}

bool versionFromResource(ProgramVersion& out) {
  // The wide calls throughout: the program's folder may hold any character.
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  out.major = static_cast<int>(HIWORD(info->dwFileVersionMS));
  out.minor = static_cast<int>(LOWORD(info->dwFileVersionMS));
  out.revision = static_cast<int>(LOWORD(info->dwFileVersionLS));
  return true;
}

}  // namespace

ProgramVersion programVersion() {
  ProgramVersion v{ZENTRO_VERSION_MAJOR, ZENTRO_VERSION_MINOR, ZENTRO_VERSION_REVISION};
  versionFromResource(v);
  return v;
}

void setCommandLine(const std::string& text) { commandLineText() = text; }

const std::string& commandLine() { return commandLineText(); }

std::string localTimeStamp() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%04u%02u%02u%02u%02u%02u", unsigned{t.wYear},
                        unsigned{t.wMonth}, unsigned{t.wDay}, unsigned{t.wHour},
                        unsigned{t.wMinute}, unsigned{t.wSecond});
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace zentro::platform
