#pragma once
// The file behind the run log: created for this run alone and held for as long as it is open,
// so that a run pruning old logs (file_lock.h: removeUnlessInUse) leaves a live run's log.
// Linux: created O_CREAT|O_EXCL|O_NOFOLLOW (mode 0600) and locked with an exclusive flock.
// Windows: created CREATE_NEW, shared for reading only, so it cannot be deleted while open.
// Not thread-safe: the run log serialises every call.

#include <cstdint>
#include <string>
#include <string_view>

namespace zentro::platform {

class RunLogFile {
 public:
  RunLogFile() = default;
  RunLogFile(const RunLogFile&) = delete;
  RunLogFile& operator=(const RunLogFile&) = delete;
  ~RunLogFile() { close(); }

  // Creates `path` (UTF-8) and holds it. False, creating nothing, when any file or link of
  // that name exists or the folder refuses.
  bool create(const std::string& path);
  bool isOpen() const { return handle_ != kNone; }
  // Appends `bytes`; write errors are ignored (a log must never stop the run).
  void append(std::string_view bytes);
  void close();

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;
};

}  // namespace zentro::platform
