#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentro::platform {
namespace {

class PosixFileLock : public HeldFileLock {
 public:
  PosixFileLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFileLock() override {
    // Removed while still locked, so no one else can take the name for a stale file meanwhile.
    ::unlink(path_.c_str());
    ::close(fd_);
  }

 private:
  std::string path_;
  int fd_;
};

}  // namespace

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

std::unique_ptr<HeldFileLock> holdNewFileLock(const std::string& path) {
  const int fd =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  // Another run clearing up could have taken the fresh file for a stale one and removed it
  // between the create and the lock; a hold on a removed file guards nothing.
  struct stat st {};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFileLock>(path, fd);
}

bool removeUnlessInUse(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  // Taking the lock ourselves keeps its owner from starting to hold it while it goes.
  const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0;
  ::close(fd);
  return removed;
}

}  // namespace zentro::platform
