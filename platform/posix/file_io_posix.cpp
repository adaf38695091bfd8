// The file operations on Linux: descriptors opened without following links where the program
// creates or changes a file, and never blocking on a FIFO where it reads one.
#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace zentro::platform {
namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

// Reads what the file holds, expecting `expected` bytes, but never more than `limit` + 1 (one
// byte more shows a file larger than allowed); false on a read error. A short read of a
// regular file is its end.
bool readUpTo(int fd, std::size_t expected, std::size_t limit, std::string& out) {
  out.resize(std::min(expected, limit) + 1);
  std::size_t have = 0;
  for (;;) {
    if (have == out.size()) {
      if (out.size() > limit) break;
      out.resize(std::min(out.size() * 2, limit + 1));
    }
    const std::size_t want = out.size() - have;
    const ssize_t n = ::read(fd, out.data() + have, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    have += static_cast<std::size_t>(n);
    if (static_cast<std::size_t>(n) < want) break;
  }
  out.resize(have);
  return true;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes) {
  // O_NONBLOCK keeps a FIFO from blocking the open; the descriptor's own status decides.
  if (path.empty()) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::string bytes;
  const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                  static_cast<std::uintmax_t>(st.st_size) <= maxBytes &&
                  readUpTo(fd, static_cast<std::size_t>(st.st_size), maxBytes, bytes) &&
                  bytes.size() <= maxBytes;
  ::close(fd);
  if (!ok) return std::nullopt;
  return bytes;
}

std::FILE* openForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

bool StagedFile::copyFrom(const std::string& source) {
  if (failed_) return false;
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  struct stat st {};
  bool ok = in >= 0 && ::fstat(in, &st) == 0 && S_ISREG(st.st_mode);
  std::vector<char> buffer(kCopyChunk);
  while (ok) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = detail::writeAll(handle_, buffer.data(), static_cast<std::size_t>(n));
  }
  // A program keeps its execute rights in the copy.
  if (ok) ok = ::fchmod(static_cast<int>(handle_), st.st_mode & 07777) == 0;
  if (in >= 0) ::close(in);
  if (!ok) failed_ = true;
  return ok;
}

namespace detail {

MoveOutcome moveWithinVolume(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty()) return MoveOutcome::kFailed;
  if (::rename(source.c_str(), target.c_str()) == 0) return MoveOutcome::kMoved;
  return errno == EXDEV ? MoveOutcome::kOtherVolume : MoveOutcome::kFailed;
}

std::intptr_t createExclusive(const std::string& path, bool& nameTaken) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  nameTaken = fd < 0 && errno == EEXIST;
  if (fd < 0) return kNoFile;
  // Held until the file is committed or removed: it tells removeAbandoned a live writer.
  ::flock(fd, LOCK_EX | LOCK_NB);
  return fd;
}

bool writeAll(std::intptr_t file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(file), data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool closeFile(std::intptr_t file) { return ::close(static_cast<int>(file)) == 0; }

bool commitStaged(std::intptr_t file, const std::string& path, const std::string& target) {
  // Moved while still open and locked, so no sweep of another run takes it meanwhile.
  const bool moved = ::rename(path.c_str(), target.c_str()) == 0;
  const bool closed = closeFile(file);
  return moved && closed;
}

void removeAbandoned(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    ::unlink(path.c_str());
  }
  ::close(fd);
}

}  // namespace detail

EntryKind entryKind(const std::string& path) {
  struct stat st {};
  if (path.empty()) return EntryKind::Missing;
  if (::lstat(path.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? EntryKind::Missing : EntryKind::Other;
  }
  if (S_ISLNK(st.st_mode)) return EntryKind::Link;
  if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
  if (S_ISREG(st.st_mode)) return EntryKind::File;
  return EntryKind::Other;
}

bool removeEntry(const std::string& path) {
  // Linux ignores a file's own write right when it is removed: nothing to clear first.
  const EntryKind kind = entryKind(path);
  if (kind == EntryKind::Missing) return !path.empty();
  if (kind == EntryKind::Folder) {
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
  return entryKind(path) == EntryKind::Missing;
}

void allowRemovalIn(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0) ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
  ::close(fd);
}

void clearReadOnly(const std::string&) {}

}  // namespace zentro::platform
