// The install run's walk over a large install list whose files are all current (nothing to
// download): one tick of the real walk against a loop that only stats the same files and
// their version side files, side by side in one run.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_install_list.h"
#include "bench/bench_view.h"
#include "installer/install_run.h"
#include "installer/run_state.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kEntries = 10000;
// The machine's other work shows in single runs; a median of many is steadier.
constexpr int kRuns = 11;
constexpr const char* kVersion = "3.1.4.1";

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// User and system CPU time of this process so far, in milliseconds.
struct CpuTime {
  double user = 0;
  double system = 0;
};
CpuTime cpuNow() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return {ms(u.ru_utime), ms(u.ru_stime)};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string entryName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "module-%05d.dat", i);
  return name;
}

class CountingHost final : public zentro::InstallHost {
 public:
  void launchApplication() override { ++launches; }
  void writeUpdateStamps() override { ++stamps; }
  int launches = 0;
  int stamps = 0;
};

// Files as an earlier install of type 5 leaves them: the file (a few kilobytes, not a program
// image) and its side file holding the version.
void installFiles(const fs::path& common) {
  std::string content(4096, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
  for (int i = 0; i < kEntries; ++i) {
    const fs::path file = common / entryName(i);
    std::ofstream(file, std::ios::binary) << std::string_view(content).substr(0, 1024 + i % 3072);
    std::ofstream(file.string() + ".ver", std::ios::binary) << kVersion << "\r\n";
  }
}

struct WalkResult {
  double ms = 0;
  CpuTime cpu;
  bool ok = false;
};

WalkResult timeWalk(const zentro::WorkingFolders& folders, const zentro::Table& list) {
  zentro::InstallSession session;
  session.deploymentCaption = "[Bench]";
  session.installFilesUrl = "http://127.0.0.1:9/unused/";  // nothing may be fetched
  session.hasAdminAccess = true;
  session.installList = list;
  zentro::bench::BenchView view;
  CountingHost host;
  zentro::InstallRun run(view, folders, session, host);
  WalkResult r;
  const CpuTime cpu = cpuNow();
  const auto start = Clock::now();
  run.tick();
  r.ms = millisecondsSince(start);
  const CpuTime after = cpuNow();
  r.cpu = {after.user - cpu.user, after.system - cpu.system};
  // Every entry found current says so in the frame's status line; the end of the list clears it.
  r.ok = view.labelSets(zentro::Label::FrameStatus) == kEntries + 1 && view.unloaded() &&
         !view.firstBytesLabel() && view.messageBoxes() == 0 && host.stamps == 1 &&
         host.launches == 0 && !session.downloadFailed && session.updateCount == 0;
  return r;
}

// The baseline: the same paths, built the same way, and one stat for each file and its side
// file.
double timeStatLoop(const std::string& common, int& found) {
  const auto start = Clock::now();
  found = 0;
  struct stat st;
  for (int i = 0; i < kEntries; ++i) {
    const std::string path = common + "/" + entryName(i);
    if (::stat(path.c_str(), &st) == 0) ++found;
    if (::stat((path + ".ver").c_str(), &st) == 0) ++found;
  }
  return millisecondsSince(start);
}

}  // namespace

int main() {
  char pattern[] = "/tmp/zentro-walk-bench-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path work = made;

  zentro::WorkingFolders folders;
  std::string* slots[] = {&folders.rootFolder,   &folders.companyFolder, &folders.productFolder,
                          &folders.tempFolder,   &folders.commonFolder,  &folders.brokerFolder,
                          &folders.clientFolder, &folders.systemFolder,  &folders.windowsFolder,
                          &folders.fontsFolder};
  const char* names[] = {"root",   "company", "product", "temp",    "common",
                         "broker", "client",  "system",  "windows", "fonts"};
  for (std::size_t i = 0; i < std::size(slots); ++i) {
    fs::create_directories(work / names[i]);
    *slots[i] = (work / names[i]).string();
  }
  const auto setUp = Clock::now();
  installFiles(folders.commonFolder);
  std::printf("%d files and their side files written in %.0f ms\n", kEntries,
              millisecondsSince(setUp));
  std::fflush(stdout);

  std::vector<zentro::bench::BenchEntry> entries;
  entries.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    // Below the launch records' 9999, as every ordinary entry is.
    entries.push_back({entryName(i), 1 + i % 9000, 5, kVersion, "COMMONDIR"});
  }
  const zentro::Table list = zentro::bench::makeBenchInstallList(entries);

  // One round of each untimed, so both meet the same warm caches.
  int found = 0;
  bool ok = timeWalk(folders, list).ok;
  timeStatLoop(folders.commonFolder, found);
  ok = ok && found == 2 * kEntries;

  std::vector<double> walkTimes, statTimes, walkCpu, statCpu;
  for (int i = 0; ok && i < kRuns; ++i) {
    const WalkResult w = timeWalk(folders, list);
    const CpuTime before = cpuNow();
    const double s = timeStatLoop(folders.commonFolder, found);
    const CpuTime after = cpuNow();
    ok = w.ok && found == 2 * kEntries;
    std::printf("run %d: walk %.1f ms (cpu user %.0f + system %.0f ms), stat loop %.1f ms "
                "(cpu user %.0f + system %.0f ms)\n",
                i + 1, w.ms, w.cpu.user, w.cpu.system, s, after.user - before.user,
                after.system - before.system);
    walkTimes.push_back(w.ms);
    statTimes.push_back(s);
    walkCpu.push_back(w.cpu.user + w.cpu.system);
    statCpu.push_back(after.user - before.user + after.system - before.system);
  }

  std::error_code ec;
  fs::remove_all(work, ec);
  if (!ok) {
    std::fprintf(stderr, "the walk did not find every file current, or a file was missing\n");
    return 1;
  }
  const double walk = median(walkTimes);
  const double stat = median(statTimes);
  std::printf("walk over %d current entries (median of %d): %.1f ms, %.2f us per entry\n",
              kEntries, kRuns, walk, walk * 1000 / kEntries);
  std::printf("stat loop over the same files (median of %d): %.1f ms\n", kRuns, stat);
  std::printf("cpu time (medians): walk %.0f ms, stat loop %.0f ms\n", median(walkCpu),
              median(statCpu));
  std::printf("walk / stat loop ratio: %.2f (target <= 2.5)\n", walk / stat);
  return 0;
}
