#pragma once
// The running program's own facts.

#include <string>

namespace zentro::platform {

struct ProgramVersion {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

// The version stamped into the build (VERSIONINFO on Windows, CMake project version on Linux).
ProgramVersion programVersion();

// The raw command-line text after the program's path (Linux: arguments joined with single
// spaces). Set once by main before the window is created.
void setCommandLine(const std::string& text);
const std::string& commandLine();

// Current local date and time formatted "YYYYMMDDHHMMSS".
std::string localTimeStamp();

}  // namespace zentro::platform
