// expandArchive and ExpandResult::holds (platform/archive.h) on Linux: ".cmp" expansion with
// libzip. Three passes so a bad archive leaves nothing behind:
//   1. plan: every entry name checked, sizes summed against the limits and the free space;
//   2. write: each file to <name>.part, counting the bytes actually produced (an archive may
//      lie about its sizes), folders created one level at a time without following links;
//   3. rename every .part to its name.
// Any failure removes what this call created and reports why. libzip is loaded with the first
// expansion (see loaded_library.h), so the program starts without it.
#include "platform/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "platform/posix/loaded_library.h"

namespace zentro::platform {
namespace {

constexpr char kPartSuffix[] = ".part";
constexpr std::size_t kChunk = 64 * 1024;

using Components = std::vector<std::string>;

struct PlannedEntry {
  zip_uint64_t index = 0;
  Components path;  // normalised: no empty or "." parts
  bool isFolder = false;
  std::uint64_t size = 0;
};

// The libzip functions the expansion calls, typed by the library's own declarations.
struct ZipCalls {
  decltype(&zip_open) open = nullptr;
  decltype(&zip_discard) discard = nullptr;
  decltype(&zip_strerror) strerror = nullptr;
  decltype(&zip_error_init_with_code) error_init_with_code = nullptr;
  decltype(&zip_error_strerror) error_strerror = nullptr;
  decltype(&zip_error_fini) error_fini = nullptr;
  decltype(&zip_get_num_entries) get_num_entries = nullptr;
  decltype(&zip_stat_init) stat_init = nullptr;
  decltype(&zip_stat_index) stat_index = nullptr;
  decltype(&zip_fopen_index) fopen_index = nullptr;
  decltype(&zip_fread) fread = nullptr;
  decltype(&zip_file_strerror) file_strerror = nullptr;
  decltype(&zip_fclose) fclose = nullptr;
};

// libzip, loaded once, on the first expansion from any thread; nullptr when it cannot be
// loaded (the reason is then in `why`).
const ZipCalls* loadZip(std::string& why) {
  static const posix::LoadedLibrary library(ZENTRO_LIBZIP_SONAME);
  static const ZipCalls* const calls = []() -> const ZipCalls* {
    static ZipCalls c;
    const bool found = library.find(c.open, "zip_open") &&
                       library.find(c.discard, "zip_discard") &&
                       library.find(c.strerror, "zip_strerror") &&
                       library.find(c.error_init_with_code, "zip_error_init_with_code") &&
                       library.find(c.error_strerror, "zip_error_strerror") &&
                       library.find(c.error_fini, "zip_error_fini") &&
                       library.find(c.get_num_entries, "zip_get_num_entries") &&
                       library.find(c.stat_init, "zip_stat_init") &&
                       library.find(c.stat_index, "zip_stat_index") &&
                       library.find(c.fopen_index, "zip_fopen_index") &&
                       library.find(c.fread, "zip_fread") &&
                       library.find(c.file_strerror, "zip_file_strerror") &&
                       library.find(c.fclose, "zip_fclose");
    return found ? &c : nullptr;
  }();
  if (calls == nullptr) why = library.loaded() ? "a libzip function is missing" : library.why();
  return calls;
}

// The loaded library, once expandArchive's loadZip has succeeded.
const ZipCalls& zip() {
  std::string unused;
  return *loadZip(unused);
}

struct ZipCloser {
  void operator()(zip_t* z) const { zip().discard(z); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip().fclose(f); }
};

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

ExpandResult failure(std::string why) { return ExpandResult{false, std::move(why), {}}; }

std::string errnoText(int error) { return std::strerror(error); }

Components splitEntryName(const std::string& name) {
  Components parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

std::string joined(const Components& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

// `error` is taken by value before any text is built, so allocation cannot change it.
std::string systemFailure(const char* what, const Components& path, int error) {
  return what + joined(path) + ": " + errnoText(error);
}

// Everything this call created, so a failure can take it back.
class Expansion {
 public:
  explicit Expansion(int root) : root_(root) {}
  ~Expansion() {
    if (!committed_) rollBack();
  }
  Expansion(const Expansion&) = delete;
  Expansion& operator=(const Expansion&) = delete;

  // Opens the folder `parts[0..count)` below the root, one level at a time and never through
  // a link; creates missing levels when `create` is set. Invalid Fd on failure (errno set).
  Fd openFolder(const Components& parts, std::size_t count, bool create) {
    Fd current(::fcntl(root_, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i < count && current.valid(); ++i) {
      const char* name = parts[i].c_str();
      int fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(current.get(), name, 0755) != 0) return Fd();
        createdFolders_.emplace_back(parts.begin(), parts.begin() + static_cast<long>(i) + 1);
        fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      }
      current = Fd(fd);
    }
    return current;
  }

  // Writes one entry to its ".part" file; "" on success, else why not.
  std::string writePart(zip_t* archive, const PlannedEntry& entry) {
    Fd folder = openFolder(entry.path, entry.path.size() - 1, true);
    if (!folder.valid()) return systemFailure("cannot create folder for ", entry.path, errno);
    std::string part = entry.path.back() + kPartSuffix;
    ::unlinkat(folder.get(), part.c_str(), 0);
    Fd out(::openat(folder.get(), part.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out.valid()) return systemFailure("cannot create part file of ", entry.path, errno);
    parts_.push_back(entry.path);

    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip().fopen_index(archive, entry.index, 0));
    if (!in) return "cannot read entry " + joined(entry.path) + ": " + zip().strerror(archive);
    std::vector<char> buffer(kChunk);
    std::uint64_t written = 0;
    for (;;) {
      zip_int64_t n = zip().fread(in.get(), buffer.data(), buffer.size());
      if (n < 0) {
        return "entry " + joined(entry.path) + " is damaged: " + zip().file_strerror(in.get());
      }
      if (n == 0) break;
      written += static_cast<std::uint64_t>(n);
      if (written > entry.size) return "entry " + joined(entry.path) + " is larger than declared";
      for (zip_int64_t done = 0; done < n;) {
        ssize_t w = ::write(out.get(), buffer.data() + done, static_cast<std::size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return systemFailure("cannot write ", entry.path, errno);
        done += w;
      }
    }
    if (written != entry.size) return "entry " + joined(entry.path) + " is shorter than declared";
    if (zip().fclose(in.release()) != 0) return "entry " + joined(entry.path) + " failed its check";
    if (::close(out.release()) != 0) return systemFailure("cannot write ", entry.path, errno);
    return {};
  }

  // Renames every ".part" to its name; "" on success.
  std::string commitParts() {
    // An entry may bear another one's temporary name ("x" and "x.part"): renaming the shorter
    // names first moves each temporary file away before a finished one takes its name.
    std::stable_sort(parts_.begin(), parts_.end(), [](const Components& a, const Components& b) {
      return joined(a).size() < joined(b).size();
    });
    for (const Components& path : parts_) {
      Fd folder = openFolder(path, path.size() - 1, false);
      std::string part = path.back() + kPartSuffix;
      if (!folder.valid() ||
          ::renameat(folder.get(), part.c_str(), folder.get(), path.back().c_str()) != 0) {
        return systemFailure("cannot rename part file of ", path, errno);
      }
      renamed_.push_back(path);
    }
    committed_ = true;
    return {};
  }

 private:
  void removeFile(const Components& path, const std::string& leaf) {
    Fd folder = openFolder(path, path.size() - 1, false);
    if (folder.valid()) ::unlinkat(folder.get(), leaf.c_str(), 0);
  }

  void rollBack() {
    for (const Components& path : renamed_) removeFile(path, path.back());
    for (const Components& path : parts_) removeFile(path, path.back() + kPartSuffix);
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) {
      Fd parent = openFolder(*it, it->size() - 1, false);
      if (parent.valid()) ::unlinkat(parent.get(), it->back().c_str(), AT_REMOVEDIR);
    }
  }

  int root_;
  bool committed_ = false;
  std::vector<Components> createdFolders_;
  std::vector<Components> parts_;
  std::vector<Components> renamed_;
};

// First pass: names, sizes, limits. Nothing is written.
ExpandResult plan(zip_t* archive, const ExpandLimits& limits, std::vector<PlannedEntry>& out) {
  zip_int64_t count = zip().get_num_entries(archive, 0);
  if (count < 0) return failure("cannot list the archive");
  if (static_cast<std::uint64_t>(count) > limits.maxEntries) {
    return failure("archive has " + std::to_string(count) + " entries, more than allowed");
  }
  std::uint64_t total = 0;
  std::set<std::string> seen;
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    zip_stat_t st;
    zip().stat_init(&st);
    if (zip().stat_index(archive, i, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) ||
        !(st.valid & ZIP_STAT_SIZE)) {
      return failure("cannot read entry " + std::to_string(i));
    }
    std::string name = st.name;
    if (!isSafeArchiveEntryName(name)) return failure("unsafe entry name: " + name);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
      return failure("encrypted entry: " + name);
    }
    PlannedEntry entry;
    entry.index = i;
    entry.path = splitEntryName(name);
    entry.isFolder = name.back() == '/' || name.back() == '\\';
    entry.size = entry.isFolder ? 0 : st.size;
    if (entry.path.empty()) {
      if (entry.isFolder) continue;  // "./": the folder itself
      return failure("entry without a name: " + name);
    }
    if (!entry.isFolder && !seen.insert(joined(entry.path)).second) {
      return failure("duplicate entry: " + name);
    }
    if (entry.size > limits.maxTotalBytes - total) {
      return failure("expanded size exceeds the limit of " + std::to_string(limits.maxTotalBytes) +
                     " bytes");
    }
    total += entry.size;
    out.push_back(std::move(entry));
  }
  return ExpandResult{true, {}, {}};
}

}  // namespace

ExpandResult expandArchive(const std::string& archivePath, const std::string& folder,
                           const ExpandLimits& limits) {
  if (folder.empty()) return failure("no folder to expand into");
  std::string unavailable;
  if (loadZip(unavailable) == nullptr) {
    return failure("the ZIP library could not start: " + unavailable);
  }
  int zipError = 0;
  std::unique_ptr<zip_t, ZipCloser> archive(
      zip().open(archivePath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &zipError));
  if (!archive) {
    zip_error_t error;
    zip().error_init_with_code(&error, zipError);
    std::string why = "cannot open archive: " + std::string(zip().error_strerror(&error));
    zip().error_fini(&error);
    return failure(why);
  }

  std::vector<PlannedEntry> entries;
  ExpandResult planned = plan(archive.get(), limits, entries);
  if (!planned.ok) return planned;

  Fd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!root.valid()) {
    const int error = errno;
    return failure("cannot open folder " + folder + ": " + errnoText(error));
  }
  std::uint64_t total = 0;
  for (const PlannedEntry& e : entries) total += e.size;
  struct statvfs fsInfo {};
  if (::fstatvfs(root.get(), &fsInfo) == 0 &&
      total > static_cast<std::uint64_t>(fsInfo.f_bavail) * fsInfo.f_frsize) {
    return failure("not enough free space for " + std::to_string(total) + " bytes");
  }

  Expansion expansion(root.get());
  for (const PlannedEntry& e : entries) {
    if (e.isFolder) {
      if (!expansion.openFolder(e.path, e.path.size(), true).valid()) {
        return failure(systemFailure("cannot create folder ", e.path, errno));
      }
      continue;
    }
    std::string why = expansion.writePart(archive.get(), e);
    if (!why.empty()) return failure(why);
  }
  std::string why = expansion.commitParts();
  if (!why.empty()) return failure(why);
  ExpandResult done{true, {}, {}};
  for (const PlannedEntry& e : entries) {
    if (!e.isFolder) done.files.push_back(joined(e.path));
  }
  return done;
}

bool ExpandResult::holds(std::string_view name) const {
  return std::find(files.begin(), files.end(), name) != files.end();
}

}  // namespace zentro::platform
