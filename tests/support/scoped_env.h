#pragma once
// Sets environment variables for one test and puts the previous values back afterwards.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_system.h"

namespace zentro::testing {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) setEnv(it->first, it->second);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // Sets (or, with nullopt, removes) a variable.
  void set(const std::string& name, const std::optional<std::string>& value) {
    saved_.emplace_back(name, getEnv(name));
    setEnv(name, value);
  }
  // Points the user's temporary folder at `folder`.
  void setTempFolder(const std::string& folder) {
    for (const std::string& name : tempFolderVariables()) set(name, folder);
  }
  void unset(const std::string& name) { set(name, std::nullopt); }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace zentro::testing
