#pragma once
// Helpers of the Win32 platform tests: the probe program beside the test program, a registry
// key that is removed with everything below it when the test ends, and a text that no legacy
// code page holds whole.

#include <windows.h>

#include <random>
#include <string>

#include "platform/paths.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::testing {

// "Zentro Prüfung ß Ж" in UTF-8: Latin-1 letters and a Cyrillic one, so a text that went
// through the 8-bit calls comes back changed whatever the code page.
inline constexpr char kNonAscii[] = "Zentro Pr\xC3\xBC" "fung \xC3\x9F \xD0\x96";

// The probe program (tests/win32/probe), copied beside the test program by the build.
inline std::string probePath() {
  return platform::joinPath(platform::programFolder(), ZENTRO_PROBE_EXE);
}

// A key path unique to one test, below `parent` of `root` in the registry view `view`
// (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY); deleted with its values and subkeys on destruction.
class ScratchKey {
 public:
  ScratchKey(HKEY root, const std::string& parent, REGSAM view = 0) : root_(root), view_(view) {
    std::random_device rd;
    path_ = parent + "\\t" + std::to_string(rd());
  }
  ~ScratchKey() {
    HKEY key = nullptr;
    const std::wstring path = platform::win32::toWide(path_);
    if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_ALL_ACCESS | view_, &key) == ERROR_SUCCESS) {
      RegDeleteTreeW(key, nullptr);
      RegCloseKey(key);
      RegDeleteKeyExW(root_, path.c_str(), view_, 0);
    }
  }
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;
  const std::string& path() const { return path_; }

 private:
  HKEY root_;
  REGSAM view_;
  std::string path_;
};

// A string value as stored, read through the wide call in `view`; "<missing>" when absent.
inline std::string storedString(HKEY root, const std::string& key, const std::string& name,
                                REGSAM view = 0) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, platform::win32::toWide(key).c_str(), 0, KEY_QUERY_VALUE | view, &h) !=
      ERROR_SUCCESS) {
    return "<missing>";
  }
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer;
  const LONG rc = RegGetValueW(h, nullptr, platform::win32::toWide(name).c_str(), RRF_RT_REG_SZ,
                               nullptr, buffer, &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? platform::win32::fromWide(buffer) : "<missing>";
}

}  // namespace zentro::testing
