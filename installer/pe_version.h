#pragma once
// Reading the file version of a Windows program or library (a PE image) on any platform: the
// fixed file information of its RT_VERSION resource. Pure and thread-safe; never throws.
// Every offset and length in the image is checked against its size, so a damaged or hostile
// file gives nullopt rather than a read out of bounds.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/file_io.h"

namespace zentro {

// Major, minor, build, revision: the high and low halves of dwFileVersionMS and
// dwFileVersionLS.
using PeFileVersion = std::array<std::uint16_t, 4>;

// The largest file readPeFileVersion looks into; bigger files have no version for it.
inline constexpr std::uint64_t kMaxPeFileSize = 1ull << 30;

// The file version of the PE image in `bytes`; nullopt when it is no PE image, has no version
// resource, or anything on the way is out of bounds or malformed.
std::optional<PeFileVersion> parsePeFileVersion(std::span<const std::uint8_t> bytes);

// The same for a file. Reads only the parts it needs; nullopt also for a missing file, a
// file that is not a regular file, or one larger than kMaxPeFileSize.
std::optional<PeFileVersion> readPeFileVersion(const std::string& path);
// The same for the file `name` in `folder`.
std::optional<PeFileVersion> readPeFileVersion(const platform::OpenFolder& folder,
                                               const std::string& name);

}  // namespace zentro
