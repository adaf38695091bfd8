// The program's own facts on Linux: the version comes from the build (CMake project version).
#include "platform/program_info.h"

#include <ctime>

namespace zentro::platform {
namespace {

std::string& commandLineText() {
  static std::string text;
  return text;
}

}  // namespace

ProgramVersion programVersion() {
  return ProgramVersion{ZENTRO_VERSION_MAJOR, ZENTRO_VERSION_MINOR, ZENTRO_VERSION_REVISION};
}

void setCommandLine(const std::string& text) { commandLineText() = text; }

const std::string& commandLine() { return commandLineText(); }

std::string localTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return {};
  char buf[32];
  std::size_t n = std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &local);
  return std::string(buf, n);
}

}  // namespace zentro::platform
