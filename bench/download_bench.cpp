// Downloading one large install file: the launcher's whole download path (the transfer on its
// worker, the spool file, the chunked save with progress, placing the file) against `curl -o`
// of the same URL from the same reference service, side by side in one run, with the peak
// resident memory of the process running the launcher's path.
//
// The reference service runs as a program of its own, so the file it holds in memory is not
// counted; each launcher run is a forked child whose peak resident set wait4 reports.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_install_list.h"
#include "bench/bench_view.h"
#include "bench/child_process.h"
#include "installer/install_run.h"
#include "installer/run_state.h"

#ifndef ZENTRO_REFSERVICE_EXE
#error "ZENTRO_REFSERVICE_EXE must name the zentro-refservice program"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kFileSize = 512ull << 20;
constexpr std::size_t kWriteChunk = 1 << 20;
constexpr int kRuns = 5;
constexpr const char* kFileName = "bench-large.bin";
constexpr const char* kServerName = "MAIN";
constexpr const char* kServerLinePrefix = "login server MAIN: ";
constexpr auto kServiceStartLimit = std::chrono::seconds(120);
// One download of the file, by either side.
constexpr auto kRunLimit = std::chrono::minutes(5);

using zentro::bench::ChildResult;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Pseudo-random bytes (splitmix64), so nothing on the way can shortcut them.
bool writeLargeFile(const fs::path& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<std::uint64_t> block(kWriteChunk / sizeof(std::uint64_t));
  std::uint64_t state = 0x5eed5eed12345678ull;
  bool ok = true;
  for (std::uint64_t written = 0; ok && written < kFileSize; written += kWriteChunk) {
    for (std::uint64_t& word : block) {
      std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
      word = z ^ (z >> 31);
    }
    ok = std::fwrite(block.data(), 1, kWriteChunk, f) == kWriteChunk;
  }
  return std::fclose(f) == 0 && ok;
}

// A world with one deployment whose install group delivers the one large file.
bool makeWorld(const fs::path& world) {
  fs::create_directories(world / "files");
  writeText(world / "world.ini",
            "[filer BENCH]\n"
            "[login BENCH/USER]\npassword = bench\ndeployments = 1\n"
            "[base]\naddress = 127.0.0.1\npath = /cvbo\n"
            "[server " + std::string(kServerName) + "]\naddress = 127.0.0.1\npath = /cvbo\n"
            "[deployment 1]\ntype = BROKER\ndescription = Bench\nserver = " +
                std::string(kServerName) +
                "\nfolder = Bench\ninstallGroup = 1\ncheckForUpdates = Y\n"
                "[group 1]\nlastUpdate = 2026-01-01T00:00:00\nlist = group1.csv\n");
  writeText(world / "group1.csv",
            "FileName,SequenceID,InstallType,FileVersion,InstallLocation,Description,"
            "IsCompressed,DownloadLocation\n" +
                std::string(kFileName) + ",10,2,1.0.0.0,COMMONDIR,Large file,0," + kFileName +
                "\n");
  return writeLargeFile(world / "files" / kFileName);
}

struct Service {
  zentro::bench::Child process;
  std::string serverUrl;
};

// Starts zentro-refservice on the world and waits until it listens; its standard output
// (which names each login server's URL) goes to a file beside the world.
Service startService(const fs::path& work) {
  Service s;
  const fs::path ready = work / "ready.txt";
  const fs::path out = work / "service-out.txt";
  s.process = zentro::bench::Child::spawn(
      {ZENTRO_REFSERVICE_EXE, "--world", (work / "world").string(), "--ready-file",
       ready.string()},
      {.env = std::nullopt, .stdoutPath = out});
  if (!s.process.waitForFile(ready, kServiceStartLimit)) return s;
  for (const std::string& line : zentro::bench::readLines(out)) {
    if (line.rfind(kServerLinePrefix, 0) == 0) {
      s.serverUrl = line.substr(std::strlen(kServerLinePrefix));
    }
  }
  return s;
}

class NoHost final : public zentro::InstallHost {
 public:
  void launchApplication() override {}
  void writeUpdateStamps() override {}
};

// The launcher's side, in the forked child: one install run over a one-entry list whose file
// is not installed yet, so the walk downloads, saves and places it. Exit code 0 when the file
// arrived whole.
int launcherRun(const fs::path& root, const std::string& filesUrl) {
  zentro::WorkingFolders folders;
  std::string* slots[] = {&folders.rootFolder,   &folders.companyFolder, &folders.productFolder,
                          &folders.tempFolder,   &folders.commonFolder,  &folders.brokerFolder,
                          &folders.clientFolder, &folders.systemFolder,  &folders.windowsFolder,
                          &folders.fontsFolder};
  const char* names[] = {"root",   "company", "product", "temp",    "common",
                         "broker", "client",  "system",  "windows", "fonts"};
  for (std::size_t i = 0; i < std::size(slots); ++i) {
    fs::create_directories(root / names[i]);
    *slots[i] = (root / names[i]).string();
  }
  zentro::InstallSession session;
  session.deploymentCaption = "[Bench]";
  session.installFilesUrl = filesUrl;
  session.hasAdminAccess = true;
  session.installList = zentro::bench::makeBenchInstallList({{kFileName, 10, 2, "1.0.0.0"}});

  zentro::bench::BenchView view;
  NoHost host;
  const auto start = Clock::now();
  {
    zentro::InstallRun run(view, folders, session, host);
    run.tick();
  }
  if (view.firstBytesLabel() && view.unloaded()) {
    using Seconds = std::chrono::duration<double>;
    std::printf("  launcher: transfer to the spool %.3f s, then saving and placing %.3f s\n",
                Seconds(*view.firstBytesLabel() - start).count(),
                Seconds(view.unloadedAt() - *view.firstBytesLabel()).count());
    std::fflush(stdout);
  }
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(fs::path(folders.commonFolder) / kFileName, ec);
  if (ec || size != kFileSize || session.downloadFailed || session.updateBlocked ||
      view.messageBoxes() != 0 || !view.unloaded()) {
    std::fprintf(stderr, "launcher run failed: size %ju, failed %d, blocked %d, boxes %d %s\n",
                 static_cast<std::uintmax_t>(ec ? 0 : size), session.downloadFailed,
                 session.updateBlocked, view.messageBoxes(), view.lastMessage().c_str());
    return 1;
  }
  return 0;
}

// Byte for byte, outside the timed part.
bool sameContent(const fs::path& a, const fs::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> bx(kWriteChunk), by(kWriteChunk);
  while (x && y) {
    x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
    y.read(by.data(), static_cast<std::streamsize>(by.size()));
    if (x.gcount() != y.gcount() ||
        !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin())) {
      return false;
    }
  }
  return x.eof() && y.eof();
}

ChildResult launcherDownload(const fs::path& root, const std::string& filesUrl,
                             const fs::path& original) {
  fs::remove_all(root);
  ChildResult r = zentro::bench::runInChild([&] { return launcherRun(root, filesUrl); }, kRunLimit);
  if (r.ok && !sameContent(root / "common" / kFileName, original)) {
    std::fprintf(stderr, "the launcher's file differs from the served one\n");
    r.ok = false;
  }
  fs::remove_all(root);
  return r;
}

ChildResult curlDownload(const fs::path& target, const std::string& url,
                         const fs::path& original) {
  fs::remove(target);
  // -q: no ~/.curlrc, so both sides send the same plain request.
  ChildResult r = zentro::bench::runChild({"curl", "-q", "-s", "-o", target.string(), url}, kRunLimit);
  if (r.ok && !sameContent(target, original)) {
    std::fprintf(stderr, "curl's file differs from the served one\n");
    r.ok = false;
  }
  fs::remove(target);
  return r;
}

}  // namespace

int main() {
  // Loopback only: no proxy may take the requests elsewhere.
  for (const char* v : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                        "ALL_PROXY"}) {
    unsetenv(v);
  }
  setenv("no_proxy", "127.0.0.1,localhost", 1);

  char pattern[] = "/tmp/zentro-download-bench-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path work = made;
  int exitCode = 1;
  Service service;

  auto prepared = Clock::now();
  if (!makeWorld(work / "world")) {
    std::fprintf(stderr, "cannot write the world into %s\n", work.c_str());
  } else {
    std::printf("world with a %llu MiB file written in %.1f s\n",
                static_cast<unsigned long long>(kFileSize >> 20), secondsSince(prepared));
    service = startService(work);
    if (service.serverUrl.empty()) {
      std::fprintf(stderr, "zentro-refservice did not start\n");
    }
  }

  if (!service.serverUrl.empty()) {
    const std::string filesUrl = service.serverUrl + "/BROKER/InstallFiles/";
    const std::string url = filesUrl + kFileName;
    std::printf("url: %s\n", url.c_str());
    std::vector<double> launcherTimes, curlTimes;
    long peakRssKiB = 0;
    bool ok = true;
    for (int i = 0; ok && i < kRuns; ++i) {
      // Alternate who goes first, so neither side always meets a warmer cache.
      ChildResult a, c;
      const fs::path original = work / "world" / "files" / kFileName;
      if (i % 2 == 0) {
        a = launcherDownload(work / "launcher", filesUrl, original);
        c = curlDownload(work / "curl-out.bin", url, original);
      } else {
        c = curlDownload(work / "curl-out.bin", url, original);
        a = launcherDownload(work / "launcher", filesUrl, original);
      }
      if (!a.ok || !c.ok) {
        std::fprintf(stderr, "run %d failed (launcher %s, curl %s)\n", i + 1,
                     a.ok ? "ok" : "FAILED", c.ok ? "ok" : "FAILED");
        ok = false;
        break;
      }
      std::printf("run %d: launcher %.3f s (cpu %.3f s, peak RSS %.1f MiB), curl -o %.3f s "
                  "(cpu %.3f s)\n",
                  i + 1, a.seconds, a.cpuSeconds, a.maxRssKiB / 1024.0, c.seconds, c.cpuSeconds);
      std::fflush(stdout);
      launcherTimes.push_back(a.seconds);
      curlTimes.push_back(c.seconds);
      peakRssKiB = std::max(peakRssKiB, a.maxRssKiB);
    }
    if (ok) {
      const double launcher = median(launcherTimes);
      const double curl = median(curlTimes);
      const double mib = static_cast<double>(kFileSize) / (1 << 20);
      std::printf("launcher download (median of %d): %.3f s, %.0f MiB/s\n", kRuns, launcher,
                  mib / launcher);
      std::printf("curl -o (median of %d): %.3f s, %.0f MiB/s\n", kRuns, curl, mib / curl);
      std::printf(
          "download / curl -o ratio: %.2f (target <= 1.25); peak RSS %.0f MiB (target < 64)\n",
          launcher / curl, peakRssKiB / 1024.0);
      exitCode = 0;
    }
  }
  service.process.stop();
  std::error_code ec;
  fs::remove_all(work, ec);
  return exitCode;
}
