#pragma once
// The machine-wide registry hive (HKEY_LOCAL_MACHINE) for string values.
// Linux stand-in: an INI-style file owned by this layer ($ZENTRO_MACHINE_HIVE, default
// $XDG_DATA_HOME/VMIZentro/machine-hive.ini); keys are sections, matched without regard to case.

#include <optional>
#include <string>

namespace zentro::platform {

// The value's stored text, or nullopt when the key or value is missing.
std::optional<std::string> readMachineString(const std::string& keyPath,
                                             const std::string& valueName);
// Sets a string value in an existing key; false when the key does not exist or on failure.
bool writeMachineString(const std::string& keyPath, const std::string& valueName,
                        const std::string& data);
// Creates a key (with its parents). Used by set-up and tests; the launcher never creates keys.
bool createMachineKey(const std::string& keyPath);

}  // namespace zentro::platform
