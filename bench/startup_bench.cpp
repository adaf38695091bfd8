// Start-up time of the launcher: from process start until its window has first been painted,
// against a bare Qt window program built in the same tree, measured side by side in one run.
// Both are started alternately under the offscreen platform with a private home and temp
// folder. Prints the medians and, last, the ratio launcher / bare window (target <= 1.5).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/child_process.h"

namespace {

constexpr int kRuns = 20;
// A program that never paints (say, one stuck at a message box nobody answers) is given up.
constexpr auto kGiveUpAfter = std::chrono::seconds(30);

struct Program {
  const char* name;
  std::string path;
  std::vector<double> millis;
};

// Runs `path` once with `env`; returns the wall time in milliseconds, or -1 when it failed.
double timeOneStart(const std::string& path, const std::vector<std::string>& env) {
  const zentro::bench::ChildResult r =
      zentro::bench::runChild({path}, kGiveUpAfter, {.env = env, .stdoutPath = {}});
  return r.ok ? r.seconds * 1000 : -1;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path home = fs::temp_directory_path() / ("zentro-startup-" + std::to_string(getpid()));
  fs::create_directories(home / "config", ec);
  fs::create_directories(home / "data", ec);
  fs::create_directories(home / "cache", ec);
  fs::create_directories(home / "tmp", ec);
  fs::create_directories(home / "run", ec);
  fs::permissions(home / "run", fs::perms::owner_all, ec);

  const char* path = std::getenv("PATH");
  const std::vector<std::string> env = {
      "PATH=" + std::string(path ? path : "/usr/bin:/bin"),
      "HOME=" + home.string(),
      "XDG_CONFIG_HOME=" + (home / "config").string(),
      "XDG_DATA_HOME=" + (home / "data").string(),
      "XDG_CACHE_HOME=" + (home / "cache").string(),
      "XDG_RUNTIME_DIR=" + (home / "run").string(),
      "TMPDIR=" + (home / "tmp").string(),
      "QT_QPA_PLATFORM=offscreen",
  };

  Program bare{"bare Qt window", ZENTRO_BARE_WINDOW_EXE, {}};
  Program launcher{"VMIZentro", ZENTRO_STARTUP_PROBE_EXE, {}};
  int failures = 0;
  // One start each first, so that both find the operating system's caches equally warm.
  for (Program* p : {&bare, &launcher}) {
    if (timeOneStart(p->path, env) < 0) ++failures;
  }
  for (int i = 0; i < kRuns && failures == 0; ++i) {
    for (Program* p : {&bare, &launcher}) {
      const double ms = timeOneStart(p->path, env);
      if (ms < 0) {
        ++failures;
        break;
      }
      p->millis.push_back(ms);
    }
  }
  fs::remove_all(home, ec);
  if (failures) {
    std::fprintf(stderr, "a program did not start and end cleanly; no measurement\n");
    return 1;
  }

  const double bareMs = median(bare.millis);
  const double launcherMs = median(launcher.millis);
  std::printf("runs: %d each, alternating, QT_QPA_PLATFORM=offscreen\n", kRuns);
  std::printf("%s: median %.1f ms to first paint\n", bare.name, bareMs);
  std::printf("%s: median %.1f ms to first paint\n", launcher.name, launcherMs);
  std::printf("ratio VMIZentro/bare window (target <= 1.5): %.2f\n", launcherMs / bareMs);
  return 0;
}
