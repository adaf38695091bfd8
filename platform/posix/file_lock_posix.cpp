#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zentro::platform {

bool fileInUse(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  bool inUse = false;
  // flock locks (what most programs and `flock(1)` take).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    inUse = true;
  } else {
    ::flock(fd, LOCK_UN);
    // Record locks held by other processes (fcntl/lockf).
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) inUse = true;
  }
  ::close(fd);
  return inUse;
}

}  // namespace zentro::platform
