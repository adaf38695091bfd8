#pragma once
// The run log: a plain-text file per run in the temp folder (time, level, event).
// Never log a password or a login token. Thread-safe: every call takes the log's lock, and
// the time of a line is taken under it, so lines from the download worker and the window's
// thread are written whole and in time order.

#include <cstddef>
#include <string>

namespace zentro {

enum class LogLevel { Info, Warning, Error };

// Logs kept in the temp folder: from start-up on, beside the window's start, the older ones are
// deleted, except those a live run still holds open.
inline constexpr std::size_t kKeptRunLogs = 50;
// Lines kept while no folder is known yet; later ones are dropped.
inline constexpr std::size_t kMaxPendingLines = 1000;

// Creates the run's log file in `folder` ("VMIZentro-YYYYMMDDHHMMSS-<n>.log") exclusively,
// never through a link, holds it until closeLog or the end of the process, writes the lines
// kept so far and starts pruning the folder's older logs on a thread of its own. Does nothing
// once a log is open.
void openLog(const std::string& folder);
// Waits for the pruning to end and releases the log file; the next openLog starts a new one.
void closeLog();
// The log file's path; "" before openLog (or when no file could be created).
std::string logPath();
// Writes one line. Every control character in `event` is written as an escape, so that no
// text from a server or a file can start a line of its own or hide part of one: CR, LF and
// TAB as \r \n \t, other C0 controls and DEL as \xHH, C1 controls as \u00HH, U+2028 and
// U+2029 as \u2028 and \u2029.
void logLine(LogLevel level, const std::string& event);

}  // namespace zentro
