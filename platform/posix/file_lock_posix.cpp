#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <set>
#include <utility>

namespace zentro::platform {
namespace {

// A hold is a record lock (fcntl), not a flock: a flock belongs to the open file, which every
// forked child shares until its exec closes the descriptor, so a child started a moment before
// the holder died would keep the file "in use". A record lock belongs to the process alone and
// goes with it. Record locks do not conflict within their own process, and closing any
// descriptor of the file would release them, so this process's own holds are known by their
// file's identity and never opened again here.
using FileId = std::pair<dev_t, ino_t>;
std::mutex heldMutex;
// Never destroyed: the run log's pruning thread may still ask while the process ends.
std::set<FileId>& heldHere() {
  static auto* held = new std::set<FileId>;
  return *held;
}

// Whether this process holds `path`. heldMutex must be locked.
bool heldByThisProcess(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && heldHere().count({st.st_dev, st.st_ino}) != 0;
}

// A record lock of `type` over the whole file, for F_SETLK or F_GETLK.
struct flock wholeFile(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

class PosixFileLock : public HeldFileLock {
 public:
  PosixFileLock(std::string path, int fd, FileId id) : path_(std::move(path)), fd_(fd), id_(id) {}
  ~PosixFileLock() override {
    std::lock_guard lock(heldMutex);
    // Removed while still locked, so no one else can take the name for a stale file meanwhile.
    ::unlink(path_.c_str());
    ::close(fd_);
    heldHere().erase(id_);
  }

 private:
  std::string path_;
  int fd_;
  FileId id_;
};

}  // namespace

bool fileInUse(const std::string& path) {
  std::lock_guard held(heldMutex);
  if (heldByThisProcess(path)) return true;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  bool inUse = false;
  // flock locks (what most programs and `flock(1)` take).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    inUse = true;
  } else {
    ::flock(fd, LOCK_UN);
    // Record locks held by other processes (fcntl/lockf, and the holds made here).
    struct flock probe = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) inUse = true;
  }
  ::close(fd);
  return inUse;
}

std::unique_ptr<HeldFileLock> holdNewFileLock(const std::string& path) {
  std::lock_guard held(heldMutex);
  const int fd =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  // Another run clearing up could have taken the fresh file for a stale one and removed it
  // between the create and the lock; a hold on a removed file guards nothing.
  struct flock lock = wholeFile(F_WRLCK);
  struct stat st {};
  if (::fcntl(fd, F_SETLK, &lock) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
    ::close(fd);
    return nullptr;
  }
  heldHere().insert({st.st_dev, st.st_ino});
  return std::make_unique<PosixFileLock>(path, fd, FileId{st.st_dev, st.st_ino});
}

bool removeUnlessInUse(const std::string& path) {
  std::lock_guard held(heldMutex);
  if (heldByThisProcess(path)) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  // Taking locks ourselves (a flock, and a shared record lock, which a reading descriptor
  // allows and which still excludes a hold) keeps an owner from starting to hold it meanwhile.
  struct flock shared = wholeFile(F_RDLCK);
  const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fcntl(fd, F_SETLK, &shared) == 0 &&
                       ::unlink(path.c_str()) == 0;
  ::close(fd);
  return removed;
}

}  // namespace zentro::platform
