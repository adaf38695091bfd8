#pragma once
// The local configuration file "VMIZentroConfig.XML": a read-only table of named properties
// in the root folder, opened once at start-up. Window thread.

#include <string>

#include "remote/table.h"

namespace zentro {

inline constexpr const char* kConfigFileName = "VMIZentroConfig.XML";

// Opens the file in `rootFolder`; when it is missing, locked or malformed, returns an open,
// empty table with the fields "PropName" (255) and "PropValue" (4000). Never throws.
Table loadConfigTable(const std::string& rootFolder);

// The trimmed value of the first row named `name` (compared without regard to letter case);
// "" when there is none, when `name` is empty, when the value is NULL or on any failure.
std::string GetConfigValue(Table& config, const std::string& name);

// True when some "UPDATEADMINLOGIN" row holds `login` (without regard to letter case).
bool IsUpdateAdminLogin(Table& config, const std::string& login);

}  // namespace zentro
