// The per-user settings store where Windows programs of this kind keep theirs:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, one REG_SZ per key.
#include "platform/settings_store.h"

#include <windows.h>

#include <vector>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

using win32::toWide;

constexpr char kSettingsRoot[] = "Software\\VB and VBA Program Settings\\";

std::wstring sectionKey(const std::string& app, const std::string& section) {
  return toWide(kSettingsRoot + app + "\\" + section);
}

}  // namespace

void saveSetting(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value) {
  HKEY hkey = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, sectionKey(app, section).c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &hkey, nullptr) != ERROR_SUCCESS) {
    return;  // Not reported: the store is relied on to be writable by the user.
  }
  const std::wstring text = toWide(value);
  RegSetValueExW(hkey, toWide(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(hkey);
}

std::string getSetting(const std::string& app, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
  HKEY hkey = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, sectionKey(app, section).c_str(), 0, KEY_QUERY_VALUE,
                    &hkey) != ERROR_SUCCESS) {
    return defaultValue;
  }
  const std::wstring name = toWide(key);
  std::string result = defaultValue;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
      // Stored strings normally carry their terminator; one written without it still reads.
      result = win32::fromWideUntilNul(std::wstring_view(buffer.data(), size / sizeof(wchar_t)));
    }
  }
  RegCloseKey(hkey);
  return result;
}

}  // namespace zentro::platform
