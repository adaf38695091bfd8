#pragma once
// Expanding ".cmp" archives (ZIP). Linux: libzip; Windows: minizip.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentro::platform {

struct ExpandLimits {
  std::uint64_t maxTotalBytes = 4ull << 30;  // expanded size bound (zip bombs)
  std::uint64_t maxEntries = 10000;
};

struct ExpandResult {
  bool ok = false;
  std::string error;  // why not, for the log
  std::vector<std::string> files;  // the files written, relative, levels joined by '/'

  // Whether the expansion wrote the file `name` (relative, '/' between levels), compared as
  // this platform compares file names (Windows: without regard to letter case).
  bool holds(std::string_view name) const;
};

// True when `name` is one safe level of a path (a bare file name or one folder name) on both
// systems: not empty, not only dots and blanks (Windows trims those, leaving "." or ".."), no
// '/', '\\', ':' (drive letters, alternate streams) or NUL, and not a Windows device name
// (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$; any letter case, with or
// without an extension, with trailing dots or blanks), which would open the device instead.
bool isSafePathComponent(std::string_view name);

// True when an entry name stays inside the folder it is expanded into: not empty, no NUL,
// not absolute ('/' or '\\' first), no ':' (drive letters, alternate streams), and no component
// ("/" and "\\" both separate) made only of dots and blanks other than "." itself, so ".." and
// the forms Windows trims to ".." are refused; no component is a Windows device name.
bool isSafeArchiveEntryName(std::string_view name);

// Expands every entry of the archive into `folder`. Entries whose names would land outside
// `folder` (absolute, "..", drive letters) are refused and make the whole expansion fail
// before anything is written; so does exceeding the limits or the free space of the folder's
// file system. Files are written to a temporary name and renamed when complete, so a failed
// expansion leaves every file of `folder` as it was.
ExpandResult expandArchive(const std::string& archivePath, const std::string& folder,
                           const ExpandLimits& limits = {});

}  // namespace zentro::platform
