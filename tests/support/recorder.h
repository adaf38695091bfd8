#pragma once
// A program for the tests to start, which records how it was started and ends with a chosen
// exit code: its arguments one per line in <program>.args, then its current folder in
// <program>.cwd (each file appears whole). Linux: a shell script; Windows: a copy of
// zentro_recorder.exe, built beside the test programs, which reads its exit code from
// <program>.exit. Test thread only.

#include <string>

namespace zentro::testing {

// Writes the recorder to `path` (folders created) and returns `path`.
std::string writeRecorder(const std::string& path, int exitCode = 0);

struct Record {
  bool ran = false;
  std::string args;    // one argument per line
  std::string folder;  // the folder it started in, without a line end
};
// Waits, bounded (30 s), for the record of the program at `programPath`.
Record awaitRecord(const std::string& programPath);

}  // namespace zentro::testing
