// expandArchive and ExpandResult::holds (platform/archive.h) on Windows: ".cmp" expansion with
// minizip. Three passes so a bad archive leaves nothing behind:
//   1. plan: every entry name checked, sizes summed against the limits and the free space;
//   2. write: each file to <name>.part, counting the bytes actually produced (an archive may
//      lie about its sizes), folders created one level at a time, never through a reparse
//      point (a junction could lead outside the folder);
//   3. rename every .part to its name.
// Any failure removes what this call created and reports why.
#include "platform/archive.h"

#include <windows.h>

#include <unzip.h>
// After unzip.h: it relies on the declarations that header brings in.
#include <iowin32.h>

#include <algorithm>
#include <set>
#include <vector>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

using win32::toWide;

constexpr char kPartSuffix[] = ".part";
constexpr std::size_t kChunk = 64 * 1024;
constexpr unsigned long kEncryptedFlag = 1;

using Components = std::vector<std::string>;

struct PlannedEntry {
  unz64_file_pos position{};
  Components path;  // normalised: no empty or "." parts
  bool isFolder = false;
  std::uint64_t size = 0;
};

ExpandResult failure(std::string why) { return ExpandResult{false, std::move(why), {}}; }

std::string lastErrorText() { return win32::errorText(GetLastError()); }

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

std::string joined(const Components& parts, std::size_t count, char separator) {
  std::string out;
  for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

std::string shown(const Components& parts) { return joined(parts, parts.size(), '/'); }

class Archive {
 public:
  explicit Archive(const std::string& path) {
    zlib_filefunc64_def io;
    fill_win32_filefunc64W(&io);
    const std::wstring wide = toWide(path);
    if (!wide.empty()) handle_ = unzOpen2_64(wide.c_str(), &io);
  }
  ~Archive() {
    if (handle_) unzClose(handle_);
  }
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;
  unzFile get() const { return handle_; }

 private:
  unzFile handle_ = nullptr;
};

// Everything this call created, so a failure can take it back.
class Expansion {
 public:
  explicit Expansion(std::string root) : root_(std::move(root)) {}
  ~Expansion() {
    if (!committed_) rollBack();
  }
  Expansion(const Expansion&) = delete;
  Expansion& operator=(const Expansion&) = delete;

  std::string pathOf(const Components& parts, std::size_t count) const {
    return count == 0 ? root_ : root_ + "\\" + joined(parts, count, '\\');
  }

  // Makes sure the folders `parts[0..count)` exist below the root, creating missing levels;
  // "" on success, else why not.
  std::string ensureFolders(const Components& parts, std::size_t count) {
    for (std::size_t i = 1; i <= count; ++i) {
      std::string folder = pathOf(parts, i);
      DWORD attrs = GetFileAttributesW(toWide(folder).c_str());
      if (attrs == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryW(toWide(folder).c_str(), nullptr)) {
          return "cannot create folder " + joined(parts, i, '/') + ": " + lastErrorText();
        }
        createdFolders_.push_back(folder);
        continue;
      }
      if (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return "not a plain folder: " + joined(parts, i, '/');
      }
    }
    return {};
  }

  // Writes one entry to its ".part" file; "" on success, else why not.
  std::string writePart(unzFile archive, const PlannedEntry& entry) {
    std::string why = ensureFolders(entry.path, entry.path.size() - 1);
    if (!why.empty()) return why;
    std::string part = pathOf(entry.path, entry.path.size()) + kPartSuffix;
    DeleteFileW(toWide(part).c_str());
    HANDLE out = CreateFileW(toWide(part).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
      return "cannot create " + shown(entry.path) + kPartSuffix + ": " + lastErrorText();
    }
    parts_.push_back(part);
    why = copyEntry(archive, entry, out);
    if (!CloseHandle(out) && why.empty()) why = "cannot write " + shown(entry.path);
    return why;
  }

  // Renames every ".part" to its name; "" on success.
  std::string commitParts() {
    // An entry may bear another one's temporary name ("x" and "x.part"): renaming the shorter
    // names first moves each temporary file away before a finished one takes its name.
    std::stable_sort(parts_.begin(), parts_.end(),
                     [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    for (const std::string& part : parts_) {
      std::string target = part.substr(0, part.size() - (sizeof kPartSuffix - 1));
      if (!MoveFileExW(toWide(part).c_str(), toWide(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return "cannot rename " + part + ": " + lastErrorText();
      }
      renamed_.push_back(target);
    }
    committed_ = true;
    return {};
  }

 private:
  static std::string copyEntry(unzFile archive, const PlannedEntry& entry, HANDLE out) {
    unz64_file_pos pos = entry.position;
    if (unzGoToFilePos64(archive, &pos) != UNZ_OK || unzOpenCurrentFile(archive) != UNZ_OK) {
      return "cannot read entry " + shown(entry.path);
    }
    std::vector<char> buffer(kChunk);
    std::uint64_t written = 0;
    std::string why;
    for (;;) {
      int n = unzReadCurrentFile(archive, buffer.data(), static_cast<unsigned>(buffer.size()));
      if (n < 0) {
        why = "entry " + shown(entry.path) + " is damaged";
        break;
      }
      if (n == 0) break;
      written += static_cast<std::uint64_t>(n);
      if (written > entry.size) {
        why = "entry " + shown(entry.path) + " is larger than declared";
        break;
      }
      DWORD done = 0;
      if (!WriteFile(out, buffer.data(), static_cast<DWORD>(n), &done, nullptr) ||
          done != static_cast<DWORD>(n)) {
        why = "cannot write " + shown(entry.path) + ": " + lastErrorText();
        break;
      }
    }
    // Closing checks the CRC of an entry that was read to its end.
    int closed = unzCloseCurrentFile(archive);
    if (!why.empty()) return why;
    if (written != entry.size) return "entry " + shown(entry.path) + " is shorter than declared";
    if (closed != UNZ_OK) return "entry " + shown(entry.path) + " failed its check";
    return {};
  }

  void rollBack() {
    for (const std::string& file : renamed_) DeleteFileW(toWide(file).c_str());
    for (const std::string& part : parts_) DeleteFileW(toWide(part).c_str());
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) {
      RemoveDirectoryW(toWide(*it).c_str());
    }
  }

  std::string root_;
  bool committed_ = false;
  std::vector<std::string> createdFolders_;
  std::vector<std::string> parts_;
  std::vector<std::string> renamed_;
};

// First pass: names, sizes, limits. Nothing is written.
ExpandResult plan(unzFile archive, const ExpandLimits& limits, std::vector<PlannedEntry>& out) {
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) return failure("cannot list the archive");
  if (global.number_entry > limits.maxEntries) {
    return failure("archive has " + std::to_string(global.number_entry) +
                   " entries, more than allowed");
  }
  std::uint64_t total = 0;
  std::set<std::wstring> seen;
  int rc = unzGoToFirstFile(archive);
  for (std::uint64_t i = 0; rc == UNZ_OK; ++i, rc = unzGoToNextFile(archive)) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      return failure("cannot read entry " + std::to_string(i));
    }
    std::string name(info.size_filename, '\0');
    if (unzGetCurrentFileInfo64(archive, &info, name.data(), static_cast<uLong>(name.size()),
                                nullptr, 0, nullptr, 0) != UNZ_OK) {
      return failure("cannot read entry " + std::to_string(i));
    }
    if (!isSafeArchiveEntryName(name)) return failure("unsafe entry name: " + name);
    if (info.flag & kEncryptedFlag) return failure("encrypted entry: " + name);
    PlannedEntry entry;
    if (unzGetFilePos64(archive, &entry.position) != UNZ_OK) {
      return failure("cannot read entry " + std::to_string(i));
    }
    entry.path = splitEntryName(name);
    entry.isFolder = name.back() == '/' || name.back() == '\\';
    entry.size = entry.isFolder ? 0 : info.uncompressed_size;
    if (entry.path.empty()) {
      if (entry.isFolder) continue;  // "./": the folder itself
      return failure("entry without a name: " + name);
    }
    // Windows names match without regard to case: two entries differing only in case would
    // land in one file.
    std::wstring key = toWide(shown(entry.path));
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    if (!entry.isFolder && !seen.insert(key).second) return failure("duplicate entry: " + name);
    if (entry.size > limits.maxTotalBytes - total) {
      return failure("expanded size exceeds the limit of " + std::to_string(limits.maxTotalBytes) +
                     " bytes");
    }
    total += entry.size;
    out.push_back(std::move(entry));
  }
  if (rc != UNZ_END_OF_LIST_OF_FILE) return failure("cannot list the archive");
  return ExpandResult{true, {}, {}};
}

}  // namespace

ExpandResult expandArchive(const std::string& archivePath, const std::string& folder,
                           const ExpandLimits& limits) {
  if (folder.empty()) return failure("no folder to expand into");
  Archive archive(archivePath);
  if (!archive.get()) return failure("cannot open archive: " + archivePath);

  std::vector<PlannedEntry> entries;
  ExpandResult planned = plan(archive.get(), limits, entries);
  if (!planned.ok) return planned;

  std::string root = folder;
  while (root.size() > 3 && (root.back() == '\\' || root.back() == '/')) root.pop_back();
  DWORD attrs = GetFileAttributesW(toWide(root).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
    return failure("cannot open folder " + folder + ": " + lastErrorText());
  }
  std::uint64_t total = 0;
  for (const PlannedEntry& e : entries) total += e.size;
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExW(toWide(root).c_str(), &available, nullptr, nullptr) &&
      total > available.QuadPart) {
    return failure("not enough free space for " + std::to_string(total) + " bytes");
  }

  Expansion expansion(root);
  for (const PlannedEntry& e : entries) {
    std::string why = e.isFolder ? expansion.ensureFolders(e.path, e.path.size())
                                 : expansion.writePart(archive.get(), e);
    if (!why.empty()) return failure(why);
  }
  std::string why = expansion.commitParts();
  if (!why.empty()) return failure(why);
  ExpandResult done{true, {}, {}};
  for (const PlannedEntry& e : entries) {
    if (!e.isFolder) done.files.push_back(shown(e.path));
  }
  return done;
}

bool ExpandResult::holds(std::string_view name) const {
  const std::wstring wanted = toWide(name);
  return std::any_of(files.begin(), files.end(), [&](const std::string& file) {
    const std::wstring have = toWide(file);
    return CompareStringOrdinal(have.c_str(), static_cast<int>(have.size()), wanted.c_str(),
                                static_cast<int>(wanted.size()), TRUE) == CSTR_EQUAL;
  });
}

}  // namespace zentro::platform
