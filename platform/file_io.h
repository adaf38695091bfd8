#pragma once
// The program's own file operations where std::filesystem promises too little on one of the
// two systems: reading a file whole only when it is a regular file of bounded size, creating
// a temporary file exclusively beside its target, replacing a file in one same-volume step,
// and telling links from folders without following them (the Windows library cannot see
// junctions). Every path is UTF-8 (Windows: converted to UTF-16 for the wide calls).
// Utility calls: any thread, never throw; a failure gives false, nullopt or an invalid file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentro::platform {

// The largest file any part of the program reads whole (configuration, stamps, side files).
inline constexpr std::size_t kMaxWholeFileBytes = 16u << 20;

// The content of the regular file at `path` (a link counts as the file it leads to). nullopt
// when the file is missing, is not a regular file (a folder, FIFO or device: never waited on),
// holds more than `maxBytes`, or cannot be read.
std::optional<std::string> readWholeFile(const std::string& path,
                                         std::size_t maxBytes = kMaxWholeFileBytes);

// The content of a small file read on every walk (side files) in one positional read, without
// asking its status first. nullopt when the file is missing, holds more than `maxBytes`, or
// refuses a positional read, as a folder, FIFO or terminal does (so nothing is waited on).
// Linux: a device that answers a positional read is taken as a file of what it answered, up to
// the same bound; Windows: as readWholeFile.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t maxBytes);

// A folder whose files are read by name many times in a row (the install walk reads two for
// every entry). Linux holds the folder open, so that each open looks up the name alone rather
// than the folder's whole path again; Windows keeps the path. Reading `name` here finds the
// file that joinPath(path, name) names: a name that is no bare file name, or a folder that
// could not be opened, is read by that joined path. One owner thread.
class OpenFolder {
 public:
  explicit OpenFolder(std::string path);
  ~OpenFolder();
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  const std::string& path() const { return path_; }
  // The system's handle of the open folder; detail::kNoFile when none is held (Windows).
  std::intptr_t handle() const { return handle_; }
  // readSmallFile for the file `name` in this folder.
  std::optional<std::string> readSmallFile(const std::string& name, std::size_t maxBytes) const;

 private:
  std::string path_;
  std::intptr_t handle_;
};

// A file open for reads at any offset, opened only when `path` names a regular file (a link
// counts as the file it leads to) of at most `maxBytes`: a folder, FIFO or device is never
// read, and the open never waits on one. The checks are made on the open file, so the path is
// looked up once. One owner thread.
class ReadOnlyFile {
 public:
  ReadOnlyFile(const std::string& path, std::uint64_t maxBytes);
  // The same, opened only when the file also begins with `signature`. Linux: the signature is
  // read first, so a file without it costs no status read; that read is positional, which a
  // FIFO or terminal refuses, so nothing is taken from one, and nothing read before the checks
  // is kept.
  ReadOnlyFile(const std::string& path, std::uint64_t maxBytes, std::string_view signature);
  // The same for the file `name` in `folder`.
  ReadOnlyFile(const OpenFolder& folder, const std::string& name, std::uint64_t maxBytes,
               std::string_view signature);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False when the file is missing, is no regular file, is larger than allowed or cannot be
  // opened; every read then fails.
  bool isOpen() const;
  // The file's size when it was opened.
  std::uint64_t size() const { return size_; }
  // Reads up to `count` bytes at `offset` into `out`: the number read, fewer only at the end of
  // the file; nullopt when reading fails.
  std::optional<std::size_t> readAt(std::uint64_t offset, char* out, std::size_t count) const;

 private:
  std::intptr_t handle_;  // the system's file handle; detail::kNoFile when none is open
  std::uint64_t size_ = 0;
};

// A new file in the folder of `target`, created exclusively under a name no file has yet
// (target + "." + 16 random hex digits + ".zentro-new"): an existing file or a link planted at
// that name is never opened. Lying in the target's folder it is on the target's volume, so
// commit() replaces the target in one step. One owner thread. Removed on destruction unless
// committed. While it is open no other process can remove it (Linux: an exclusive lock;
// Windows: it is not shared); the staged files of the same target that a killed run left are
// removed when a new one is staged.
class StagedFile {
 public:
  explicit StagedFile(const std::string& target);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // False once creating or writing the file has failed.
  bool ok() const { return !failed_; }
  const std::string& path() const { return path_; }
  // Appends `bytes`; false (and ok() false from then on) when they cannot be written.
  bool write(std::string_view bytes);
  // Appends the content of the file `source` and takes over its permission bits (Linux).
  bool copyFrom(const std::string& source);
  // Closes the file and moves it over the target in one step: the target is then the old file
  // or the new one, never a mix or nothing. False leaves the target as it was and removes the
  // staged file.
  bool commit();

 private:
  std::string target_;
  std::string path_;
  std::intptr_t handle_;  // the operating system's file handle; detail::kNoFile when none is open
  bool failed_ = false;
};

// Creates an empty file at `path`, failing when any entry (a link included) already has that
// name: a file made this way is the caller's own and may then be opened by name.
bool createNewFile(const std::string& path);

// Moves `source` over `target` in one step. Across volumes the source is first copied into a
// StagedFile beside the target, which then replaces the target; the source is removed
// afterwards. Never copies onto the target itself, so a failed copy (disk full, network share)
// leaves the target whole. False: the target is unchanged and the source stays.
bool replaceFile(const std::string& source, const std::string& target);

// What `path` names, without following a link. Windows: every reparse point (symbolic link,
// junction, mount point) is a Link, whether it leads to a file or a folder.
enum class EntryKind { Missing, File, Folder, Link, Other };
EntryKind entryKind(const std::string& path);

// Removes the file, the empty folder or the link itself at `path` (never what a link leads
// to), clearing the read-only attribute first. True when nothing is there afterwards.
bool removeEntry(const std::string& path);

// Lets the owner remove the entries of the folder at `path` (Linux: adds the owner's write
// and search rights; Windows needs nothing). A link is left unchanged.
void allowRemovalIn(const std::string& path);

// Clears the read-only attribute of the file at `path` itself, never through a link, so that
// it can be replaced (Windows refuses to replace a read-only file; Linux does not care, and
// nothing changes there).
void clearReadOnly(const std::string& path);

// The platform-specific pieces the portable part (file_io.cpp) builds on.
namespace detail {
// No open file (both systems' invalid handle is -1).
inline constexpr std::intptr_t kNoFile = -1;
// Moves `source` over `target` without ever copying. kOtherVolume: the two lie on different
// volumes (nothing changed).
enum class MoveOutcome { kMoved, kOtherVolume, kFailed };
MoveOutcome moveWithinVolume(const std::string& source, const std::string& target);
// Creates `path` for writing, failing when any entry (a link included) has that name;
// `nameTaken` tells that failure from others.
std::intptr_t createExclusive(const std::string& path, bool& nameTaken);
bool writeAll(std::intptr_t file, const char* data, std::size_t size);
bool closeFile(std::intptr_t file);
// Moves the staged file `path`, open as `file`, over `target` and closes it (in the order the
// system allows: Linux moves it while it is still locked). True when both succeeded.
bool commitStaged(std::intptr_t file, const std::string& path, const std::string& target);
// Removes the staged file at `path` unless a live process still holds it.
void removeAbandoned(const std::string& path);
}  // namespace detail

}  // namespace zentro::platform
