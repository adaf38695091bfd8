#pragma once
// Fixture of the fault suite: whole launcher runs (scripted window, real controller behind
// the run-time error report) against the reference service's demo world, with the checks every
// fault case ends with: every installed file whole (the release before or after the fault,
// never a mix, with a version side file that agrees), update stamps unchanged when anything
// failed, and the next normal run bringing the deployment fully up to date.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/event_guard.h"
#include "app/update_stamps.h"
#include "installer/install_texts.h"
#include "platform/run_log.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fault_proxy.h"

namespace zentro::testing {

inline constexpr long kInstallGroup = 12;  // the demo broker's install group
inline constexpr long kCustomGroup = 15;   // and its custom group

// Ends the test program with a message when a test overruns: a hang is a failure, not a stuck
// suite. (An alarm is not inherited by a forked child.)
inline void failOnOverrun(int) {
  static const char message[] = "FAILED: the fault case did not finish within 150 s (a hang)\n";
  [[maybe_unused]] const ssize_t ignored = ::write(2, message, sizeof message - 1);
  ::_exit(3);
}

// One file the launcher installs, as the service currently serves it.
struct ServedFile {
  std::string path;       // where the launcher places it
  std::string bytes;      // its bytes (expanded, for a compressed entry)
  std::string version;    // FileVersion
  bool sideFile = false;  // install type 5: "<path>.ver" holds the version
};

using StampTexts = std::map<long, std::optional<std::string>>;  // by install group

// Installed files and stamps as they stood before a fault.
struct Installed {
  std::vector<ServedFile> files;
  StampTexts stamps;
};

class FaultTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // The run log is opened once per process, in the first run's temp folder; the checks of
    // later tests would read a file that went with an earlier test's folder.
    if (!logPath().empty()) {
      GTEST_SKIP() << "the run log belongs to an earlier test of this process: run one fault "
                      "case per process (ctest does), e.g. --gtest_filter=<one case>";
    }
    ::signal(SIGALRM, failOnOverrun);
    ::alarm(150);
  }
  void TearDown() override {
    AppTest::TearDown();
    ::alarm(0);
  }

  static refservice::World demoWorld() {
    return refservice::loadWorld(demoWorldDir(), refservice::WorldLoadOptions{demoAppPath()});
  }
  static std::string bobCommandLine() {
    return std::string(kDemoFiler) + "|" + kDemoBob + "|" + kDemoBobPassword + "|USEPROFILE";
  }

  // A whole run with the automatic login of BOB (whose last choice is the demo broker);
  // returns once the window has ended.
  ScriptedView& runLauncher(CallLimits limits = {}) {
    ScriptedView& v = AppTest::runLauncher(bobCommandLine(), limits);
    EXPECT_TRUE(v.ended()) << "the run did not end by itself\n" << v.journalText();
    return v;
  }

  // The run-log text written since the last call (all runs of a test program share one file).
  std::string newLog() {
    const std::string path = logPath();
    if (path.empty()) return {};
    const std::string all = readFile(path);
    const std::string added = all.size() >= logSeen_ ? all.substr(logSeen_) : all;
    logSeen_ = all.size();
    return added;
  }

  std::string commonFolder() const { return rootFolder() + "/BROKER/DemoBroker"; }

  // The files of the demo broker (groups 12 and 15) that the launcher places, as served now.
  std::vector<ServedFile> servedFiles() {
    namespace texts = install_texts;
    const refservice::World world = ref.service().world();
    std::vector<ServedFile> out;
    for (long group : {kInstallGroup, kCustomGroup}) {
      for (const auto& e : world.groups.at(group).entries) {
        const bool placed = e.installType == 1 || e.installType == 2 || e.installType == 5;
        if (!placed || e.sequenceId >= texts::kLaunchSequenceId || !e.content) continue;
        // Fonts and system folders are shared with other deployments.
        const bool common = e.installLocation == texts::kLocCommon;
        if (!common && e.installLocation != texts::kLocProduct) continue;
        out.push_back(ServedFile{(common ? commonFolder() : rootFolder()) + "/" + e.fileName,
                                 *e.content, e.fileVersion, e.installType == 5});
      }
    }
    return out;
  }

  StampTexts readStamps() const {
    StampTexts out;
    for (long group : {kInstallGroup, kCustomGroup}) {
      const std::string key = updateStampKey(std::to_string(group));
      const std::string path = updateStampPath(commonFolder(), key);
      out[group] = std::filesystem::exists(path) ? std::optional(readFile(path)) : std::nullopt;
    }
    return out;
  }

  // Each file of `expected` in place and whole: its own bytes or (after a failed run) those of
  // the release served now, with a side file that matches them; no part files, staging copies
  // or transfer spools left in the working folders; the stamps as `expected` has them.
  void expectKeptWhole(const Installed& expected, const std::string& context) {
    namespace fs = std::filesystem;
    SCOPED_TRACE(context);
    const std::vector<ServedFile> now = servedFiles();
    for (const ServedFile& f : expected.files) {
      ASSERT_TRUE(fs::exists(f.path)) << f.path << " is missing";
      const std::string bytes = readFile(f.path);
      const auto current = std::ranges::find(now, f.path, &ServedFile::path);
      const bool isNew = current != now.end() && bytes == current->bytes;
      ASSERT_TRUE(bytes == f.bytes || isNew) << f.path << " is neither release (partial?)";
      const ServedFile& there = bytes == f.bytes ? f : *current;
      if (there.sideFile) {
        EXPECT_EQ(readFile(f.path + ".ver"), there.version + "\r\n") << f.path;
      }
    }
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(rootFolder(), ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const std::string name = it->path().filename().string();
      const bool leftover = name.starts_with("~zentro-spool-") || name.ends_with(".part") ||
                            name.ends_with(".zentro-new");
      EXPECT_FALSE(leftover) << "left behind " << it->path();
    }
    EXPECT_EQ(readStamps(), expected.stamps) << "the update stamps";
  }

  // Every served file in place with its bytes and side file, and the stamps the server's.
  void expectUpToDate(const std::string& context) {
    Installed served{servedFiles(), {}};
    const refservice::World world = ref.service().world();
    for (long group : {kInstallGroup, kCustomGroup}) {
      served.stamps[group] = world.groups.at(group).lastUpdate + "\r\n";
    }
    expectKeptWhole(served, context);
  }

  // A first run that installs everything, then a new release on the server.
  Installed installThenPublish() {
    runLauncher();
    expectUpToDate("first install");
    Installed before{servedFiles(), readStamps()};
    publishUpdate();
    newLog();
    return before;
  }

  // A new release: changed bytes and versions of a file of each kind (plain with a side file,
  // compressed, custom group), and later last-update texts for both groups.
  void publishUpdate(std::size_t librarySize = 0) {
    ++release_;
    const std::string n = std::to_string(release_);
    std::string library = "demo library, release " + n + "\n";
    if (librarySize > library.size()) library.resize(librarySize, 'L');
    refservice::RefService& service = ref.service();
    ASSERT_TRUE(service.setFile(kInstallGroup, "demo-library.dll", library, "2.1." + n + ".0"));
    ASSERT_TRUE(service.setFile(kInstallGroup, "demo-data.dat", "demo data, release " + n + "\n",
                                "1.0." + n + ".0"));
    ASSERT_TRUE(service.setFile(kInstallGroup, "demo-readme.txt", "read me, release " + n + "\n"));
    ASSERT_TRUE(service.setFile(kCustomGroup, "demo-settings.ini", "[demo]\nrelease=" + n + "\n",
                                "1.0.3." + n));
    char day[64];
    std::snprintf(day, sizeof day, "2027-01-%02dT%02d:%02d:00", 1 + release_ / 24,
                  release_ % 24, release_ % 60);
    for (long group : {kInstallGroup, kCustomGroup}) ASSERT_TRUE(service.setLastUpdate(group, day));
  }

  // Sends the launcher's HTTP traffic through a fault proxy until dropProxy.
  FaultProxy& useProxy() {
    proxy_ = std::make_unique<FaultProxy>();
    env.set("http_proxy", proxy_->url());
    // Empty would mean unset: name a host nothing uses.
    for (const char* name : {"no_proxy", "NO_PROXY"}) env.set(name, "127.0.0.9");
    return *proxy_;
  }
  void dropProxy() {
    env.unset("http_proxy");
    for (const char* name : {"no_proxy", "NO_PROXY"}) env.set(name, "127.0.0.1,localhost");
  }

  // The run ended with the run-time error report (message under the product name, program
  // ended with its exit code, the error in the run log); returns the reported text.
  std::string reportedError(const ScriptedView& v) {
    const std::string log = newLog();
    EXPECT_TRUE(v.terminated()) << v.journalText();
    EXPECT_EQ(v.exitCode(), EventGuard::kRunTimeErrorExit);
    const auto& box = v.lastMessageBox();
    EXPECT_EQ(box.title, std::optional<std::string>(kProductName));
    EXPECT_NE(log.find("ERROR run-time error: " + box.text), std::string::npos) << log;
    return box.text;
  }

  int release_ = 0;
  std::size_t logSeen_ = 0;
  std::unique_ptr<FaultProxy> proxy_;
};

inline bool contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

}  // namespace zentro::testing
