#pragma once
// A private temporary folder for fuzz targets that must go through real files. Created on
// first use under $TMPDIR (else /tmp) and removed when the process ends normally; a crashed
// run leaves it behind for inspection. One per process; libFuzzer runs inputs on one thread.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace zentro::fuzz {

class ScratchDir {
 public:
  static const std::filesystem::path& path() {
    static ScratchDir dir;
    return dir.path_;
  }

 private:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zentro-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }

  std::filesystem::path path_;
};

}  // namespace zentro::fuzz
