// The file operations on Windows, through the wide calls: every UTF-8 path is converted
// explicitly, so nothing depends on the process code page. Reparse points (symbolic links,
// junctions, mount points) are seen through their attributes and handled as themselves.
#include "platform/file_io.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

using win32::toWide;

constexpr DWORD kCopyChunk = 64 * 1024;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE asHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// Sets the attributes of the entry itself: opened as a reparse point, a link is never followed.
bool setOwnAttributes(const std::wstring& path, DWORD attributes) {
  HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILE_BASIC_INFO info{};  // zero times: left as they are
  info.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  const bool ok = SetFileInformationByHandle(h, FileBasicInfo, &info, sizeof info) != 0;
  CloseHandle(h);
  return ok;
}

void clearReadOnlyWide(const std::wstring& path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    setOwnAttributes(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
}

bool missingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME;
}

}  // namespace

// Windows opens a file by its path alone, so the folder keeps only that.
OpenFolder::OpenFolder(std::string path) : path_(std::move(path)), handle_(detail::kNoFile) {}

OpenFolder::~OpenFolder() = default;

std::optional<std::string> OpenFolder::readSmallFile(const std::string& name,
                                                     std::size_t maxBytes) const {
  return platform::readSmallFile(joinPath(path_, name), maxBytes);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path, std::uint64_t maxBytes)
    : ReadOnlyFile(path, maxBytes, {}) {}

ReadOnlyFile::ReadOnlyFile(const OpenFolder& folder, const std::string& name,
                           std::uint64_t maxBytes, std::string_view signature)
    : ReadOnlyFile(joinPath(folder.path(), name), maxBytes, signature) {}

ReadOnlyFile::ReadOnlyFile(const std::string& path, std::uint64_t maxBytes,
                           std::string_view signature)
    : handle_(detail::kNoFile) {
  const std::wstring wide = toWide(path);
  if (wide.empty()) return;
  // Without backup semantics a folder does not open; the type test refuses pipes and devices.
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
    CloseHandle(h);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  if (signature.empty()) return;
  std::string lead(signature.size(), '\0');
  if (readAt(0, lead.data(), lead.size()) != lead.size() || lead != signature) {
    CloseHandle(h);
    handle_ = detail::kNoFile;
    size_ = 0;
  }
}

std::optional<std::size_t> ReadOnlyFile::readAt(std::uint64_t offset, char* out,
                                                std::size_t count) const {
  if (!isOpen()) return std::nullopt;
  std::size_t have = 0;
  while (have < count) {
    // The offset travels with each read; the handle's own position is not used.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + have) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>((offset + have) >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - have, 1u << 30));
    DWORD done = 0;
    if (!ReadFile(asHandle(handle_), out + have, want, &done, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    have += done;
    if (done < want) break;
  }
  return have;
}

bool StagedFile::copyFrom(const std::string& source) {
  if (failed_) return false;
  HANDLE in = CreateFileW(toWide(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  bool ok = in != INVALID_HANDLE_VALUE && GetFileType(in) == FILE_TYPE_DISK;
  std::vector<char> buffer(kCopyChunk);
  while (ok) {
    DWORD done = 0;
    if (!ReadFile(in, buffer.data(), kCopyChunk, &done, nullptr)) {
      ok = false;
      break;
    }
    if (done == 0) break;
    ok = detail::writeAll(handle_, buffer.data(), done);
  }
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (!ok) failed_ = true;
  return ok;
}

namespace detail {

MoveOutcome moveWithinVolume(const std::string& source, const std::string& target) {
  const std::wstring from = toWide(source);
  const std::wstring to = toWide(target);
  if (from.empty() || to.empty()) return MoveOutcome::kFailed;
  // Without MOVEFILE_COPY_ALLOWED: across volumes Windows would copy straight over the
  // target, and a copy that fails half-way leaves it truncated.
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return MoveOutcome::kMoved;
  return GetLastError() == ERROR_NOT_SAME_DEVICE ? MoveOutcome::kOtherVolume
                                                 : MoveOutcome::kFailed;
}

std::intptr_t createExclusive(const std::string& path, bool& nameTaken) {
  const std::wstring wide = toWide(path);
  // CREATE_NEW fails on any existing name, a planted link included.
  HANDLE h = wide.empty() ? INVALID_HANDLE_VALUE
                          : CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  nameTaken = h == INVALID_HANDLE_VALUE &&
              (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
  return reinterpret_cast<std::intptr_t>(h);
}

bool writeAll(std::intptr_t file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD done = 0;
    if (!WriteFile(asHandle(file), data, piece, &done, nullptr) || done == 0) return false;
    data += done;
    size -= done;
  }
  return true;
}

bool closeFile(std::intptr_t file) { return CloseHandle(asHandle(file)) != 0; }

bool commitStaged(std::intptr_t file, const std::string& path, const std::string& target) {
  // Not shared while open, so the file can only be moved once it is closed.
  const bool closed = closeFile(file);
  return closed && moveWithinVolume(path, target) == MoveOutcome::kMoved;
}

void removeAbandoned(const std::string& path) {
  // A live writer's file is open without sharing: the delete then fails, as it should.
  const std::wstring wide = toWide(path);
  const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return;
  }
  DeleteFileW(wide.c_str());
}

}  // namespace detail

EntryKind entryKind(const std::string& path) {
  const std::wstring wide = toWide(path);
  if (wide.empty()) return EntryKind::Missing;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return missingError(GetLastError()) ? EntryKind::Missing : EntryKind::Other;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::Other;
  return EntryKind::File;
}

bool removeEntry(const std::string& path) {
  const std::wstring wide = toWide(path);
  if (wide.empty()) return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return missingError(GetLastError());
  // DeleteFileW and RemoveDirectoryW refuse read-only entries.
  clearReadOnlyWide(wide, attributes);
  // A folder link (junction or directory symbolic link) goes with RemoveDirectoryW, which
  // removes the link and never what it leads to.
  const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(wide.c_str())
                                                               : DeleteFileW(wide.c_str());
  if (removed) return true;
  return GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES &&
         missingError(GetLastError());
}

void allowRemovalIn(const std::string&) {}

// Opening a file costs the same with or without asking its type, so the checked read serves.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t maxBytes) {
  return readWholeFile(path, maxBytes);
}

void clearReadOnly(const std::string& path) {
  const std::wstring wide = toWide(path);
  if (!wide.empty()) clearReadOnlyWide(wide, GetFileAttributesW(wide.c_str()));
}

}  // namespace zentro::platform
