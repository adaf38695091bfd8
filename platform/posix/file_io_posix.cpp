// The file operations on Linux: descriptors opened without following links where the program
// creates or changes a file, and never blocking on a FIFO where it reads one.
#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/paths.h"

namespace zentro::platform {
namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;
// The longest signature ReadOnlyFile looks for.
constexpr std::size_t kMaxSignatureBytes = 16;

// For reading; O_NONBLOCK keeps a FIFO from blocking the open.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// Opens `path` for reading. -1 on failure.
int openForReading(const std::string& path) {
  return path.empty() ? -1 : ::open(path.c_str(), kReadFlags);
}

// Opens the file `name` in `folder` for reading: by the name alone where the folder is open and
// the name is a bare file name, which then stands for the same file as the joined path.
int openForReading(const OpenFolder& folder, const std::string& name) {
  if (folder.handle() < 0 || name.empty() || name.find('/') != std::string::npos) {
    return openForReading(joinPath(folder.path(), name));
  }
  return ::openat(static_cast<int>(folder.handle()), name.c_str(), kReadFlags);
}

// One positional read, repeated when a signal interrupts it; a FIFO or terminal refuses it.
ssize_t readAtOffset(int fd, char* out, std::size_t count, std::uint64_t offset) {
  for (;;) {
    const ssize_t n = ::pread(fd, out, count, static_cast<off_t>(offset));
    if (n >= 0 || errno != EINTR) return n;
  }
}

// `fd` (closed here unless kept) and its size when it is a regular file of at most `maxBytes`
// that begins with `signature`; {-1, 0} otherwise. The signature is read first, so a file
// without it costs no status read.
std::pair<int, std::uint64_t> checkedForReading(int fd, std::uint64_t maxBytes,
                                                std::string_view signature) {
  if (fd < 0) return {-1, 0};
  if (!signature.empty()) {
    std::array<char, kMaxSignatureBytes> lead;
    const ssize_t n = signature.size() <= lead.size()
                          ? readAtOffset(fd, lead.data(), signature.size(), 0)
                          : -1;
    if (n != static_cast<ssize_t>(signature.size()) ||
        std::string_view(lead.data(), signature.size()) != signature) {
      ::close(fd);
      return {-1, 0};
    }
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return {-1, 0};
  }
  return {fd, static_cast<std::uint64_t>(st.st_size)};
}

// The content of `fd` (closed here) in one positional read.
std::optional<std::string> readSmallFrom(int fd, std::size_t maxBytes) {
  if (fd < 0) return std::nullopt;
  // One byte more than allowed shows a file that is too large. The buffer is not cleared: only
  // what the read fills is kept.
  const std::unique_ptr<char[]> buffer(new (std::nothrow) char[maxBytes + 1]);
  const ssize_t n = buffer ? readAtOffset(fd, buffer.get(), maxBytes + 1, 0) : -1;
  ::close(fd);
  if (n < 0 || static_cast<std::size_t>(n) > maxBytes) return std::nullopt;
  return std::string(buffer.get(), static_cast<std::size_t>(n));
}

}  // namespace

OpenFolder::OpenFolder(std::string path) : path_(std::move(path)), handle_(detail::kNoFile) {
  // Held only to look names up in, which needs no right to read the folder's list.
  if (!path_.empty()) handle_ = ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

OpenFolder::~OpenFolder() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::optional<std::string> OpenFolder::readSmallFile(const std::string& name,
                                                     std::size_t maxBytes) const {
  return readSmallFrom(openForReading(*this, name), maxBytes);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path, std::uint64_t maxBytes)
    : ReadOnlyFile(path, maxBytes, {}) {}

ReadOnlyFile::ReadOnlyFile(const std::string& path, std::uint64_t maxBytes,
                           std::string_view signature)
    : handle_(detail::kNoFile) {
  // The descriptor's own status decides, so the path is looked up once.
  const auto [fd, size] = checkedForReading(openForReading(path), maxBytes, signature);
  handle_ = fd;
  size_ = size;
}

ReadOnlyFile::ReadOnlyFile(const OpenFolder& folder, const std::string& name,
                           std::uint64_t maxBytes, std::string_view signature)
    : handle_(detail::kNoFile) {
  const auto [fd, size] = checkedForReading(openForReading(folder, name), maxBytes, signature);
  handle_ = fd;
  size_ = size;
}

std::optional<std::string> readSmallFile(const std::string& path, std::size_t maxBytes) {
  return readSmallFrom(openForReading(path), maxBytes);
}

std::optional<std::size_t> ReadOnlyFile::readAt(std::uint64_t offset, char* out,
                                                std::size_t count) const {
  if (!isOpen()) return std::nullopt;
  // A regular file reads short only at its end, so one read answers.
  const ssize_t n = readAtOffset(static_cast<int>(handle_), out, count, offset);
  if (n < 0) return std::nullopt;
  return static_cast<std::size_t>(n);
}

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
