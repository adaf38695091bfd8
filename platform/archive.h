#pragma once
// Expanding ".cmp" archives (ZIP). Linux: libzip; Windows: minizip.

#include <cstdint>
#include <string>
#include <string_view>

namespace zentro::platform {

struct ExpandLimits {
  std::uint64_t maxTotalBytes = 4ull << 30;  // expanded size bound (zip bombs)
  std::uint64_t maxEntries = 10000;
};

struct ExpandResult {
  bool ok = false;
  std::string error;  // why not, for the log
};

// True when an entry name stays inside the folder it is expanded into: not empty, no NUL,
// not absolute ('/' or '\\' first), no ':' (drive letters, alternate streams), and no component
// ("/" and "\\" both separate) made only of dots and blanks other than "." itself, so ".." and
// the forms Windows trims to ".." are refused.
bool isSafeArchiveEntryName(std::string_view name);

// Expands every entry of the archive into `folder`. Entries whose names would land outside
// `folder` (absolute, "..", drive letters) are refused and make the whole expansion fail
// before anything is written; so does exceeding the limits or the free space of the folder's
// file system. Files are written to a temporary name and renamed when complete.
ExpandResult expandArchive(const std::string& archivePath, const std::string& folder,
                           const ExpandLimits& limits = {});

}  // namespace zentro::platform
