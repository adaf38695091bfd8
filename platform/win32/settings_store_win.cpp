// The per-user settings store where Windows programs of this kind keep theirs:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, one REG_SZ per key.
#include "platform/settings_store.h"

#include <windows.h>

#include <vector>

namespace zentro::platform {
namespace {

constexpr char kSettingsRoot[] = "Software\\VB and VBA Program Settings\\";

std::string sectionKey(const std::string& app, const std::string& section) {
  return kSettingsRoot + app + "\\" + section;
}

}  // namespace

void saveSetting(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value) {
  HKEY hkey = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, sectionKey(app, section).c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &hkey, nullptr) != ERROR_SUCCESS) {
    return;  // Not reported: the store is relied on to be writable by the user.
  }
  RegSetValueExA(hkey, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(hkey);
}

std::string getSetting(const std::string& app, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
  HKEY hkey = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, sectionKey(app, section).c_str(), 0, KEY_QUERY_VALUE,
                    &hkey) != ERROR_SUCCESS) {
    return defaultValue;
  }
  std::string result = defaultValue;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(hkey, key.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(hkey, key.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
      // Stored strings normally carry their terminator; one written without it still reads.
      std::size_t n = 0;
      while (n < size && buffer[n] != '\0') ++n;
      result.assign(buffer.data(), n);
    }
  }
  RegCloseKey(hkey);
  return result;
}

}  // namespace zentro::platform
