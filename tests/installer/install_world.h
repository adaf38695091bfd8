#pragma once
// The install run's surroundings for the installer tests: real working folders in a fresh
// temporary folder, an install list built in memory, the reference service serving its files
// (with a fault proxy in front when a test needs one), the scripted window, a user profile
// (machine hive, font folders) of the test's own, and a host that records the launch and the
// stamps.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "installer/download_handler.h"
#include "installer/inet_transfer.h"
#include "installer/install_file.h"
#include "installer/install_run.h"
#include "installer/install_texts.h"
#include "installer/run_state.h"
#include "platform/paths.h"
#include "remote/table.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/ref_service_fixture.h"
#include "tests/support/scripted_view.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"
#include "tests/window/window_contract.h"

namespace zentro::testing {

namespace texts = install_texts;

// One install-file record.
struct Entry {
  std::string fileName;
  long sequenceId = 1;
  int installType = kInstallWithVersion;
  std::string fileVersion = "2.0.0.0";
  std::string altCheck;
  std::string altCheckRegValue;
  std::string location = "CORVALEDIR";
  std::string description;
  int isCompressed = 0;
  std::optional<std::string> downloadLocation;  // default: the file name
  std::string sha256;
};

// An entry for `fileName`, delivered in the ZIP archive `archive` when one is named.
inline Entry named(const std::string& fileName, const std::string& location = "CORVALEDIR",
                   const std::string& archive = "") {
  Entry e;
  e.fileName = fileName;
  e.location = location;
  if (!archive.empty()) e.isCompressed = 1, e.downloadLocation = archive;
  return e;
}

inline Entry launchEntry(const std::string& fileName) {
  Entry e = named(fileName);
  e.sequenceId = 9999;
  e.installType = 0;
  e.fileVersion = "";
  return e;
}

// The install list as the deployment start leaves it: positioned on its first row.
inline Table makeInstallList(const std::vector<Entry>& entries, bool withSha256 = true) {
  std::vector<FieldDef> fields = {
      {"FileName", FieldType::String},      {"SequenceID", FieldType::Int32},
      {"InstallType", FieldType::Int16},    {"FileVersion", FieldType::String},
      {"AltCheck", FieldType::String},      {"AltCheckRegValue", FieldType::String},
      {"InstallLocation", FieldType::String}, {"Description", FieldType::String},
      {"IsCompressed", FieldType::Int16},   {"DownloadLocation", FieldType::String}};
  if (withSha256) fields.push_back({"SHA256", FieldType::String});
  Table list(fields);
  for (const Entry& e : entries) {
    std::vector<Value> row = {Value(e.fileName),
                              Value(static_cast<std::int32_t>(e.sequenceId)),
                              Value(static_cast<std::int16_t>(e.installType)),
                              Value(e.fileVersion),
                              Value(e.altCheck),
                              Value(e.altCheckRegValue),
                              Value(e.location),
                              Value(e.description.empty() ? e.fileName : e.description),
                              Value(static_cast<std::int16_t>(e.isCompressed)),
                              Value(e.downloadLocation.value_or(e.fileName))};
    if (withSha256) row.push_back(Value(e.sha256));
    list.appendRow(std::move(row));
  }
  if (!entries.empty()) list.moveFirst();
  return list;
}

// Bytes that do not compress, so an archive's size follows its content's.
inline std::string noise(std::size_t size, unsigned seed = 7) {
  std::string s(size, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return s;
}

class RecordingHost : public InstallHost {
 public:
  void launchApplication() override {
    launches.push_back(session ? session->targetPath : std::string());
    if (onLaunch) onLaunch();
  }
  void writeUpdateStamps() override { ++stamps; }

  const InstallSession* session = nullptr;
  std::vector<std::string> launches;
  int stamps = 0;
  std::function<void()> onLaunch;
};

class InstallWorld : public ::testing::Test {
 public:  // for the tables of the tests
  InstallWorld() {
    using F = WorkingFolders;
    for (auto [name, folder] : {std::pair{"root", &F::rootFolder}, {"company", &F::companyFolder},
                                {"product", &F::productFolder}, {"temp", &F::tempFolder},
                                {"common", &F::commonFolder}, {"broker", &F::brokerFolder},
                                {"client", &F::clientFolder}, {"system", &F::systemFolder},
                                {"windows", &F::windowsFolder}, {"fonts", &F::fontsFolder}}) {
      folders.*folder = dir.file(name);
      std::filesystem::create_directory(platform::pathFromUtf8(folders.*folder));
    }

    session.deploymentCaption = "[Demo Deployment]";
    session.hasAdminAccess = true;
    host.session = &session;
    view->attach(events);
  }

  // A file the service serves at `location` (to add before the first download).
  void serve(const std::string& location, std::string bytes, refservice::Fault fault = {}) {
    served.push_back({location, std::move(bytes), fault});
  }
  // Where the install list downloads `location` from (the service starts on first use).
  std::string url(const std::string& location = "") {
    if (ref.baseUrl().empty()) ref.start(filesWorld(served));
    if (session.installFilesUrl.empty()) session.installFilesUrl = ref.filesUrl();
    return session.installFilesUrl + location;
  }
  // Downloads go through a fault proxy in front of the service from now on.
  FaultProxy& useProxy() {
    const std::string direct = url();
    proxy = std::make_unique<FaultProxy>(direct);
    session.installFilesUrl = proxy->url() + direct.substr(direct.find('/', 7));
    return *proxy;
  }
  // Requests the service received for `location` ("" = for any file).
  int hits(const std::string& location = "") const {
    int n = 0;
    if (!ref.baseUrl().empty())
      for (const auto& d : ref.downloads()) n += location.empty() || d.path.ends_with("/" + location);
    return n;
  }

  // What the deployment start does last: set the install list and arm the timer; then the
  // window ticks it.
  void runInstall(const std::vector<Entry>& entries, bool withSha256 = true) {
    if (run) {  // a second start, in a new window: the first one has unloaded
      run.reset();
      view = std::make_unique<ScriptedView>();
      view->attach(events);
    }
    session.installList = makeInstallList(entries, withSha256);
    url();
    run = std::make_unique<InstallRun>(*view, folders, session, host);
    events.onTick = [this] { run->tick(); };
    view->setInstallTimerEnabled(true);
    view->runInstallTimer();
    events.onTick = nullptr;
  }

  // The download handling on its own: `location` fetched into session.currentFileName (to be
  // placed in the product folder) through a transfer that spools in `spool`.
  void handleDownload(const std::string& location, const std::string& name,
                      const std::string& spool) {
    session.currentFileName = name;
    session.currentInstallType = kInstallReplace;
    session.targetPath = product(name);
    InetTransfer inet1(*view, spool);
    DownloadHandler handler(*view, folders, session, inet1);
    inet1.setStateHandler([&](int state) { handler.Inet1_StateChanged(state); });
    ASSERT_TRUE(inet1.execute(url(location), "GET", ""));
    while (inet1.stillExecuting()) view->waitForPosted();
  }

  // Paths joined as the program joins them.
  std::string product(const std::string& name) const {
    return platform::joinPath(folders.productFolder, name);
  }
  std::string temp(const std::string& name) const {
    return platform::joinPath(folders.tempFolder, name);
  }

  // A file with a version side file, as an earlier install of type 5 leaves it (dir.write
  // takes a full path as it stands).
  void installed(const std::string& path, const std::string& content,
                 const std::string& version) const {
    dir.write(path, content);
    dir.write(path + ".ver", version + "\r\n");
  }

  TempDir dir;
  ScopedUserProfile profile{dir.file("profile")};
  std::vector<FileOnOffer> served;
  ScopedRefService ref;
  std::unique_ptr<FaultProxy> proxy;
  WorkingFolders folders;
  InstallSession session;
  RecordedEvents events;  // the timer ticks the run
  std::unique_ptr<ScriptedView> view = std::make_unique<ScriptedView>();
  RecordingHost host;
  std::unique_ptr<InstallRun> run;
};

// The names in `folder`.
inline std::vector<std::string> leftovers(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(platform::pathFromUtf8(folder)))
    names.push_back(platform::utf8FromPath(e.path().filename()));
  return names;
}

}  // namespace zentro::testing
