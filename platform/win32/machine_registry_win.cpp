// String values under HKEY_LOCAL_MACHINE, through the wide registry calls. The caller applies
// the program's own size limit (the 50-byte read buffer); this layer returns the whole text.
//
// Every key is opened in the 32-bit registry view (KEY_WOW64_32KEY). The values this program
// reads and writes belong to the 32-bit components its deployments install: their installers
// write version values under WOW6432Node on 64-bit Windows, and that is where a 32-bit program
// looks. This program is 64-bit, so it asks for that view explicitly; on 32-bit Windows the
// flag is ignored.
#include "platform/machine_registry.h"

#include <windows.h>

#include <vector>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

using win32::toWide;

constexpr REGSAM kView = KEY_WOW64_32KEY;

}  // namespace

std::optional<std::string> readMachineString(const std::string& keyPath,
                                             const std::string& valueName) {
  HKEY hkey = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, toWide(keyPath).c_str(), 0, KEY_READ | kView, &hkey) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::wstring name = toWide(valueName);
  std::optional<std::string> result;
  DWORD size = 0;
  // The value's type is not examined, as the program never did: the bytes are its text.
  if (RegQueryValueExW(hkey, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(hkey, name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
      result = win32::fromWideUntilNul(std::wstring_view(buffer.data(), size / sizeof(wchar_t)));
    }
  }
  RegCloseKey(hkey);
  return result;
}

bool writeMachineString(const std::string& keyPath, const std::string& valueName,
                        const std::string& data) {
  HKEY hkey = nullptr;
  // An existing key only: the launcher never creates machine keys.
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, toWide(keyPath).c_str(), 0, KEY_SET_VALUE | kView,
                    &hkey) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = toWide(data);
  LONG rc = RegSetValueExW(hkey, toWide(valueName).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(hkey);
  return rc == ERROR_SUCCESS;
}

bool createMachineKey(const std::string& keyPath) {
  HKEY hkey = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, toWide(keyPath).c_str(), 0, nullptr, 0,
                      KEY_READ | kView, nullptr, &hkey, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(hkey);
  return true;
}

}  // namespace zentro::platform
