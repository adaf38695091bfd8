#include "platform/run_log.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <random>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/file_lock.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "platform/run_log_file.h"
#include "platform/side_thread.h"

namespace zentro {
namespace {

constexpr std::string_view kPrefix = "VMIZentro-";
constexpr std::string_view kSuffix = ".log";

std::mutex gMutex;
std::string gPath;
platform::RunLogFile gFile;
std::vector<std::string> gPending;  // lines logged before the folder was known


// "YYYY-MM-DD HH:MM:SS" from the platform's thread-safe local time.
std::string timeNow() {
  const std::string t = platform::localTimeStamp();  // YYYYMMDDHHMMSS
  if (t.size() != 14) return "0000-00-00 00:00:00";
  return t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + " " + t.substr(8, 2) + ":" +
         t.substr(10, 2) + ":" + t.substr(12, 2);
}

const char* levelText(LogLevel level) {
  switch (level) {
    case LogLevel::Info: return "INFO";
    case LogLevel::Warning: return "WARN";
    case LogLevel::Error: return "ERROR";
  }
  return "INFO";
}

bool isLogName(const std::string& name) {
  return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) &&
         name.ends_with(kSuffix);
}

// Keeps the newest logs of the folder (this run's among them) and deletes the older ones,
// except those a live run still holds. Errors leave files in place.
void pruneLogs(const std::string& folder) {
  namespace fs = std::filesystem;
  struct Entry {
    fs::file_time_type time;
    std::string name;
  };
  std::vector<Entry> logs;
  std::error_code ec;
  for (fs::directory_iterator it(platform::pathFromUtf8(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = platform::utf8FromPath(it->path().filename());
    if (!isLogName(name)) continue;
    // A link counts as the oldest. The entry's type comes with the folder listing where the
    // file system gives it, so each log costs one status read (its time), not two.
    std::error_code timeError;
    const auto time = it->is_symlink(timeError) ? fs::file_time_type::min()
                                                : it->last_write_time(timeError);
    logs.push_back(Entry{timeError ? fs::file_time_type::min() : time, name});
  }
  if (logs.size() <= kKeptRunLogs) return;
  std::sort(logs.begin(), logs.end(), [](const Entry& a, const Entry& b) {
    return a.time != b.time ? a.time > b.time : a.name > b.name;
  });
  for (std::size_t i = kKeptRunLogs; i < logs.size(); ++i) {
    platform::removeUnlessInUse(platform::joinPath(folder, logs[i].name));
  }
}

// Pruning lists the folder, reads each old log's time and deletes the oldest: work that has no
// business before the window's first paint, so it runs on a thread of its own. One pruning at
// a time; it ends before the next one starts, when the log is closed, and before the process
// ends normally.
class Pruner {
 public:
  ~Pruner() { join(); }
  void start(const std::string& folder) {
    join();
    try {
      thread_ = platform::startBeside([folder] { pruneLogs(folder); });
    } catch (const std::system_error&) {
      pruneLogs(folder);  // no thread: pruned here and now
    }
  }
  void join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};
Pruner gPruner;  // only under gMutex

void appendLine(const std::string& line) { gFile.append(line + "\n"); }

std::string escapeLogText(std::string_view text) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 15];
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // C1 controls, NEL among them
      out += "\\u00";
      out += digits[next >> 4];
      out += digits[next & 15];
      ++i;
    } else if (c == 0xE2 && next == 0x80 && i + 2 < text.size() &&
               (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {  // line/paragraph separator
      out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

void openLog(const std::string& folder) {
  std::lock_guard lock(gMutex);
  if (!gPath.empty() || folder.empty()) return;
  // Two runs in the same second must not share a file: another number is drawn when the name
  // is taken.
  std::random_device rd;
  const std::string stem = std::string(kPrefix) + platform::localTimeStamp() + "-";
  for (int attempt = 0; attempt < 16 && gPath.empty(); ++attempt) {
    const std::string path =
        platform::joinPath(folder, stem + std::to_string(rd() % 100000) + std::string(kSuffix));
    if (gFile.create(path)) gPath = path;
  }
  if (gPath.empty()) {
    gPending.clear();  // no log can be written there
    return;
  }
  gPruner.start(folder);
  for (const auto& line : gPending) appendLine(line);
  gPending.clear();
}

void closeLog() {
  std::lock_guard lock(gMutex);
  gPruner.join();
  gFile.close();
  gPath.clear();
  gPending.clear();
}

std::string logPath() {
  std::lock_guard lock(gMutex);
  return gPath;
}

void logLine(LogLevel level, const std::string& event) {
  const std::string text = escapeLogText(event);
  std::lock_guard lock(gMutex);
  std::string line = timeNow() + " " + levelText(level) + " " + text;
  if (!gPath.empty()) {
    appendLine(line);
  } else if (gPending.size() < kMaxPendingLines) {
    gPending.push_back(std::move(line));
  }
}

}  // namespace zentro
