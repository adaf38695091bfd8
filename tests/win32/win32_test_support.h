#pragma once
// Helpers of the Win32 platform tests: the probe program beside the test program, and a
// registry key that is removed with everything below it when the test ends.

#include <windows.h>

#include <random>
#include <string>

#include "platform/paths.h"

namespace zentro::testing {

// The probe program (tests/win32/probe), copied beside the test program by the build.
inline std::string probePath() {
  return platform::joinPath(platform::programFolder(), ZENTRO_PROBE_EXE);
}

// A key path unique to one test, below `parent` of `root`; deleted with its values and
// subkeys on destruction.
class ScratchKey {
 public:
  ScratchKey(HKEY root, const std::string& parent) : root_(root) {
    std::random_device rd;
    path_ = parent + "\\t" + std::to_string(rd());
  }
  ~ScratchKey() { RegDeleteTreeA(root_, path_.c_str()); RegDeleteKeyA(root_, path_.c_str()); }
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;
  const std::string& path() const { return path_; }

 private:
  HKEY root_;
  std::string path_;
};

}  // namespace zentro::testing
