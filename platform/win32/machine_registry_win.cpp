// String values under HKEY_LOCAL_MACHINE, through the 8-bit registry calls. The caller applies
// the program's own size limit (the 50-byte read buffer); this layer returns the whole text.
#include "platform/machine_registry.h"

#include <windows.h>

#include <vector>

namespace zentro::platform {

std::optional<std::string> readMachineString(const std::string& keyPath,
                                             const std::string& valueName) {
  HKEY hkey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &hkey) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::optional<std::string> result;
  DWORD size = 0;
  // The value's type is not examined, as the program never did: the bytes are its text.
  if (RegQueryValueExA(hkey, valueName.c_str(), nullptr, nullptr, nullptr, &size) ==
      ERROR_SUCCESS) {
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(hkey, valueName.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
      std::size_t n = 0;
      while (n < size && buffer[n] != '\0') ++n;
      result = std::string(buffer.data(), n);
    }
  }
  RegCloseKey(hkey);
  return result;
}

bool writeMachineString(const std::string& keyPath, const std::string& valueName,
                        const std::string& data) {
  HKEY hkey = nullptr;
  // An existing key only: the launcher never creates machine keys.
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE, &hkey) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG rc = RegSetValueExA(hkey, valueName.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1));
  RegCloseKey(hkey);
  return rc == ERROR_SUCCESS;
}

bool createMachineKey(const std::string& keyPath) {
  HKEY hkey = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_READ, nullptr,
                      &hkey, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(hkey);
  return true;
}

}  // namespace zentro::platform
