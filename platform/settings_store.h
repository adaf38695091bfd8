#pragma once
// The per-user application settings store (save, and read with a default), addressed by
// application, section and key; every value is a string.
// Linux: QSettings INI file under the XDG config folder (organisation and application
// "VMIZentro", group = section). Windows: HKCU\Software\VB and VBA Program Settings.
// Window thread only.

#include <string>

namespace zentro::platform {

void saveSetting(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value);
std::string getSetting(const std::string& app, const std::string& section,
                       const std::string& key, const std::string& defaultValue);

}  // namespace zentro::platform
