#pragma once
// The run log: a plain-text file per run in the temp folder (time, level, event).
// Never log a password or a login token. Thread-safe.

#include <string>

namespace zentro {

enum class LogLevel { Info, Warning, Error };

// Opens the run's log file in `folder` ("VMIZentro-YYYYMMDDHHMMSS-<n>.log"); until then
// lines are kept and written once a folder is known.
void openLog(const std::string& folder);
// The log file's path; "" before openLog.
std::string logPath();
void logLine(LogLevel level, const std::string& event);

}  // namespace zentro
