#pragma once
// Installed-file versions and their comparison. Pure functions except GetFileVersion, which
// reads the file. Never throw.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_io.h"

namespace zentro {

// Version text of an installed file: the four parts of its PE version resource joined by "."
// (e.g. "300.1100.0.11"); else the first line of `path` + ".ver" with every blank removed;
// else "".
std::string GetFileVersion(const std::string& path);
// The same for the file `name` in `folder` (the install walk's reads).
std::string GetFileVersion(const platform::OpenFolder& folder, const std::string& name);

// The four parts of a version text ("1.2.3.4", "1, 2, 3, 4"; commas count as dots, blanks are
// ignored; "1.2" = 1.2.0.0, "1.2.3" = 1.2.3.0; parts after the fourth are read and dropped,
// so "1.2.3.4.5" = 1.2.3.4). nullopt for an empty or unparsable text.
std::optional<std::array<std::uint32_t, 4>> parseVersion(std::string_view text);

// True when `offered` is a strictly greater version than `installed` and updates are not
// skipped. An empty or unparsable installed version counts as 0; an empty or unparsable
// offered version is never newer.
bool IsNewerVersion(std::string_view installed, std::string_view offered, bool skipUpdates);

}  // namespace zentro
