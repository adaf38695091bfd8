#pragma once
// Registry strings under HKEY_LOCAL_MACHINE as the install run and the font registration use
// them. Never throw.

#include <string>

namespace zentro {

// The stored text of the value; "" when the key or value is missing or the text needs 50 bytes
// or more (the value buffer holds 49 characters and the terminator).
std::string ReadRegistryValue(const std::string& keyPath, const std::string& valueName);
// Writes a string value into an existing key; false when the key is missing or on failure.
bool WriteRegistryValue(const std::string& keyPath, const std::string& valueName,
                        const std::string& data);

}  // namespace zentro
