#pragma once
// What several fuzz targets share: a call whose documented refusal ends the input's run, and
// a private temporary folder for targets that must go through real files.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace zentro::fuzz {

// What `call` returns, or nothing when it refuses its input with the documented exception E.
template <class E, class F>
auto unlessRefused(F call) -> std::optional<decltype(call())> {
  try {
    return call();
  } catch (const E&) {
    return std::nullopt;
  }
}

// Created on first use under $TMPDIR (else /tmp) and removed when the process ends normally;
// a crashed run leaves it behind for inspection. One per process; libFuzzer runs inputs on
// one thread.

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
