#include "tools/refservice/call_log.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zentro::refservice {
namespace {

std::string stamp(std::chrono::system_clock::time_point t) {
  const std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
  char out[40];
  std::snprintf(out, sizeof out, "%s.%03d", buf, static_cast<int>(ms));
  return out;
}

std::string argText(const Value& v) {
  if (v.type() == ValueType::String) {
    std::string s = "\"";
    for (char c : *v.get<std::string>()) {
      if (c == '"') s += "\"\"";
      else if (c == '\r') s += "\\r";
      else if (c == '\n') s += "\\n";
      else s += c;
    }
    return s + "\"";
  }
  if (v.isEmpty()) return "Empty";
  return v.debugText();
}

std::string listenerName(const std::string& name) { return name.empty() ? "base" : name; }

}  // namespace

std::string CallRecord::text() const {
  std::string s = stamp(time) + "  [" + listenerName(listener) + "] " + progId + "." + member + "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) s += ", ";
    s += argText(args[i]);
  }
  return s + ") -> " + outcome;
}

void CallLog::open(const std::string& folder) {
  std::lock_guard lock(mutex_);
  if (folder.empty()) {
    path_.clear();
    return;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string path = folder + "/" + kLogFileName;
  std::ofstream probe(path, std::ios::app);
  if (!probe) throw std::runtime_error("cannot open the log file " + path + " (" + std::strerror(errno) + ")");
  path_ = path;
}

void CallLog::append(const std::string& line) {
  if (path_.empty()) return;
  std::ofstream out(path_, std::ios::app | std::ios::binary);
  out << line << '\n';
}

void CallLog::addCall(CallRecord r) {
  std::lock_guard lock(mutex_);
  append(r.text());
  calls_.push_back(std::move(r));
}

void CallLog::addNote(NoteRecord r) {
  std::lock_guard lock(mutex_);
  std::string block = stamp(r.time) + "  machine report from " + r.filerCode + "/" + r.login + ":";
  std::size_t start = 0;
  while (start < r.text.size()) {
    auto end = r.text.find('\n', start);
    if (end == std::string::npos) end = r.text.size();
    std::string line = r.text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    block += "\n    " + line;
    start = end + 1;
  }
  append(block);
  notes_.push_back(std::move(r));
}

void CallLog::addDownload(DownloadRecord r) {
  std::lock_guard lock(mutex_);
  append(stamp(r.time) + "  [" + listenerName(r.listener) + "] GET " + r.path + " -> " +
         (r.status ? std::to_string(r.status) + " " : std::string()) + r.outcome);
  downloads_.push_back(std::move(r));
}

void CallLog::clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
  notes_.clear();
  downloads_.clear();
}

std::vector<CallRecord> CallLog::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<NoteRecord> CallLog::notes() const {
  std::lock_guard lock(mutex_);
  return notes_;
}

std::vector<DownloadRecord> CallLog::downloads() const {
  std::lock_guard lock(mutex_);
  return downloads_;
}

std::string CallLog::filePath() const {
  std::lock_guard lock(mutex_);
  return path_;
}

}  // namespace zentro::refservice
