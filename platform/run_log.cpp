#include "platform/run_log.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <mutex>
#include <random>
#include <vector>

#include "platform/paths.h"
#include "platform/program_info.h"

namespace zentro {
namespace {

std::mutex gMutex;
std::string gPath;
std::vector<std::string> gPending;  // lines logged before the folder was known

std::string timeNow() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  char buf[32];
  // Called under gMutex, so the shared buffer of localtime is safe here.
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
  return buf;
}

const char* levelText(LogLevel level) {
  switch (level) {
    case LogLevel::Info: return "INFO";
    case LogLevel::Warning: return "WARN";
    case LogLevel::Error: return "ERROR";
  }
  return "INFO";
}

void appendLine(const std::string& line) {
  std::ofstream out(gPath, std::ios::app | std::ios::binary);
  out << line << "\n";
}

}  // namespace

void openLog(const std::string& folder) {
  std::lock_guard lock(gMutex);
  if (!gPath.empty() || folder.empty()) return;
  // Two runs in the same second must not share a file.
  std::random_device rd;
  gPath = platform::joinPath(folder, "VMIZentro-" + platform::localTimeStamp() + "-" +
                                         std::to_string(rd() % 100000) + ".log");
  for (const auto& line : gPending) appendLine(line);
  gPending.clear();
}

std::string logPath() {
  std::lock_guard lock(gMutex);
  return gPath;
}

void logLine(LogLevel level, const std::string& event) {
  std::string line = timeNow() + " " + levelText(level) + " " + event;
  std::lock_guard lock(gMutex);
  if (gPath.empty()) {
    gPending.push_back(std::move(line));
  } else {
    appendLine(line);
  }
}

}  // namespace zentro
