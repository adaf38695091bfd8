#include "installer/registry_values.h"

#include "platform/machine_registry.h"

namespace zentro {
namespace {

// Registry strings are read into a buffer of this many bytes, terminator included; a longer
// value does not fit and reads as missing, so the versions kept there stay short.
constexpr std::size_t kValueBufferBytes = 50;

}  // namespace

std::string ReadRegistryValue(const std::string& keyPath, const std::string& valueName) {
  std::optional<std::string> value = platform::readMachineString(keyPath, valueName);
  if (!value || value->size() + 1 > kValueBufferBytes) return {};
  return *value;
}

bool WriteRegistryValue(const std::string& keyPath, const std::string& valueName,
                        const std::string& data) {
  return platform::writeMachineString(keyPath, valueName, data);
}

}  // namespace zentro
