#pragma once
// What the reference service saw: member calls, machine reports and downloads, kept in
// memory for tests and appended to "refservice.log" in a log folder. Passwords and login
// tokens never reach either: they are replaced by "***" before recording. Thread-safe.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "remote/value.h"

namespace zentro::refservice {

inline constexpr const char* kMaskedSecret = "***";  // in place of a password or login token
inline constexpr const char* kLogFileName = "refservice.log";

struct CallRecord {
  std::chrono::system_clock::time_point time;
  std::string listener;            // server name; "" = the base login object
  std::string progId;
  std::string member;
  std::vector<Value> args;         // declaration order, passwords masked
  std::string outcome;             // "ok", "error: ...", "fault: ..."
  std::string text() const;        // one log line
};

struct NoteRecord {
  std::chrono::system_clock::time_point time;
  std::string filerCode;
  std::string login;
  std::string text;                // the machine report as received
};

struct DownloadRecord {
  std::chrono::system_clock::time_point time;
  std::string listener;
  std::string path;                // the request path
  int status = 0;                  // status answered; 0 = none (refused)
  std::string outcome;
  bool withCredentials = false;    // the request carried an Authorization header
};

class CallLog {
 public:
  // `folder` "" = memory only. Throws std::runtime_error when the log file cannot be opened.
  void open(const std::string& folder);
  void addCall(CallRecord r);
  void addNote(NoteRecord r);
  void addDownload(DownloadRecord r);
  void clear();

  std::vector<CallRecord> calls() const;
  std::vector<NoteRecord> notes() const;
  std::vector<DownloadRecord> downloads() const;
  std::string filePath() const;

 private:
  void append(const std::string& line);

  mutable std::mutex mutex_;
  std::string path_;
  std::vector<CallRecord> calls_;
  std::vector<NoteRecord> notes_;
  std::vector<DownloadRecord> downloads_;
};

}  // namespace zentro::refservice
