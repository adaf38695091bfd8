#include "platform/run_log_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zentro::platform {

bool RunLogFile::create(const std::string& path) {
  close();
  // Only this user reads the log: the temp folder may be shared by every user of the machine.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
  if (fd < 0) return false;
  // The lock tells other runs this log is alive. A run pruning logs could have taken the
  // fresh file for an old one between the create and the lock: a removed file is no log.
  struct stat st {};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

void RunLogFile::append(std::string_view bytes) {
  if (handle_ == kNone) return;
  const int fd = static_cast<int>(handle_);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void RunLogFile::close() {
  if (handle_ == kNone) return;
  ::close(static_cast<int>(handle_));  // releases the lock
  handle_ = kNone;
}

}  // namespace zentro::platform
