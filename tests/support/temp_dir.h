#pragma once
// A fresh temporary folder per test, removed afterwards. Its name holds non-ASCII letters, so
// every test that works in one meets such a path. Paths are UTF-8 texts, built through
// platform/file_path.h.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/file_path.h"

namespace zentro::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / platform::pathFromUtf8("zentro-test-Pr\xC3\xBC" "fung-\xC3\x9F-" +
                                            std::to_string(rd()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    // Tests make files read-only; give write rights back so the tree can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return platform::utf8FromPath(path_); }
  std::string file(const std::string& name) const {
    return platform::utf8FromPath(path_ / platform::pathFromUtf8(name));
  }

  // Writes `content` to `name` (created with its folders) and returns its path.
  std::string write(const std::string& name, const std::string& content) const {
    auto p = path_ / platform::pathFromUtf8(name);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return platform::utf8FromPath(p);
  }

 private:
  std::filesystem::path path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(platform::pathFromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace zentro::testing
