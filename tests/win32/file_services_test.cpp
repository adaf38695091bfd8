// The portable core's file handling on Windows: folders whose names hold non-ASCII characters
// (UTF-8 inside the program, UTF-16 at the Windows edge), placing a file across volumes, and the
// cache refresh with read-only entries and links.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>

#include "app/cache_refresh.h"
#include "app/launch_stage.h"
#include "app/machine_report.h"
#include "app/update_stamps.h"
#include "installer/download_handler.h"
#include "installer/inet_transfer.h"
#include "installer/install_file.h"
#include "installer/version_compare.h"
#include "platform/file_io.h"
#include "platform/file_path.h"
#include "platform/http.h"
#include "tests/support/scripted_view.h"
#include "tests/support/temp_dir.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;
using platform::utf8FromPath;

std::string readUtf8(const std::string& path) {
  std::ifstream in(pathFromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeUtf8(const std::string& path, const std::string& content) {
  fs::create_directories(pathFromUtf8(path).parent_path());
  std::ofstream(pathFromUtf8(path), std::ios::binary) << content;
}

bool existsUtf8(const std::string& path) { return fs::exists(pathFromUtf8(path)); }

// Answers every request with one body, as a server would for a download.
class BodyClient : public platform::HttpClient {
 public:
  explicit BodyClient(std::string body) : body_(std::move(body)) {}
  platform::HttpResponse send(const platform::HttpRequest&) override {
    throw platform::HttpError(platform::HttpError::Kind::Other, "not used");
  }
  platform::HttpResponse sendToSink(
      const platform::HttpRequest&,
      const std::function<bool(const char*, std::size_t)>& sink) override {
    sink(body_.data(), body_.size());
    platform::HttpResponse r;
    r.status = 200;
    r.headers = {{"Content-Length", std::to_string(body_.size())}};
    r.bodyBytes = static_cast<long long>(body_.size());
    return r;
  }

 private:
  std::string body_;
};

// A deployment below a folder named "Prüfung ß".
class NonAsciiFolder : public ::testing::Test {
 protected:
  NonAsciiFolder() {
    root_ = utf8FromPath(dir_.path() / pathFromUtf8("Pr\xC3\xBC" "fung \xC3\x9F"));
    folders_.tempFolder = root_ + "\\Temp";
    folders_.commonFolder = root_ + "\\BROKER\\App";
    fs::create_directories(pathFromUtf8(folders_.tempFolder));
    fs::create_directories(pathFromUtf8(folders_.commonFolder));
  }
  TempDir dir_;
  std::string root_;
  WorkingFolders folders_;
};

TEST_F(NonAsciiFolder, DownloadIsPlacedAndItsVersionRead) {
  const std::string body(5000, 'x');
  ScriptedView view;
  InstallSession session;
  session.currentFileName = "app.dll";
  session.currentInstallType = kInstallWithVersion;
  session.targetPath = folders_.commonFolder + "\\app.dll";
  session.serverVersion = "1.2.3.4";
  // An older read-only file in its place is replaced all the same (Wine, unlike Windows,
  // would replace it even with the attribute set).
  writeUtf8(session.targetPath, "old");
  SetFileAttributesW(pathFromUtf8(session.targetPath).c_str(), FILE_ATTRIBUTE_READONLY);
  InetTransfer inet(view, folders_.tempFolder,
                    [body] { return std::make_unique<BodyClient>(body); });
  DownloadHandler handler(view, folders_, session, inet);
  inet.setStateHandler([&](int state) { handler.Inet1_StateChanged(state); });
  ASSERT_TRUE(inet.execute("http://127.0.0.1/app.dll", "GET", ""));
  view.waitForPosted();

  EXPECT_FALSE(session.downloadFailed);
  EXPECT_FALSE(session.updateBlocked);
  EXPECT_TRUE(readUtf8(session.targetPath) == body);
  EXPECT_EQ(GetFileVersion(session.targetPath), "1.2.3.4");
  EXPECT_TRUE(fs::is_empty(pathFromUtf8(folders_.tempFolder)));
}

TEST_F(NonAsciiFolder, StampsRightsProbeAndTemporaryCopy) {
  WriteUpdateStamps(folders_.commonFolder, "INSTALL_7", "2024-02-01T08:00:00", "", "");
  EXPECT_EQ(ReadUpdateStamp(folders_.commonFolder, "INSTALL_7"), "2024-02-01T08:00:00");

  EXPECT_TRUE(HasAdminAccess(machine_report::kUpdateCheckRuns, folders_.commonFolder));

  const std::string program = folders_.commonFolder + "\\app.exe";
  writeUtf8(program, "MZ");
  const std::string copy = CopyToTempFolder(program);
  ASSERT_FALSE(copy.empty()) << "the program would start in place";
  EXPECT_EQ(readUtf8(copy + "app.exe"), "MZ");
  EXPECT_EQ(readUtf8(copy + "INSTALL_7.txt"), "2024-02-01T08:00:00\r\n");
  std::error_code ec;
  fs::remove_all(pathFromUtf8(copy), ec);
}

// --- placing across volumes -------------------------------------------------------------------

// Drives mapped by the ctest fixture of tests/win32/volumes.sh: S: on a tmpfs, R: on a tmpfs
// of 1 MiB. C: (the Wine prefix) lies on the build's own file system, so each pair is two
// volumes: a move between them fails with ERROR_NOT_SAME_DEVICE.
bool driveMapped(const wchar_t* root) { return GetDriveTypeW(root) != DRIVE_NO_ROOT_DIR; }

std::string scratchFolder(const std::string& drive) {
  std::random_device rd;
  const std::string folder = drive + "\\zentro-" + std::to_string(rd());
  fs::create_directories(pathFromUtf8(folder));
  return folder;
}

TEST(PlacingAcrossVolumes, CopyIsStagedBesideTheTargetAndAFailedCopyLeavesItWhole) {
  if (!driveMapped(L"S:\\") || !driveMapped(L"R:\\")) {
    GTEST_SKIP() << "drives S: and R: are not mapped (run through ctest's volumes fixture)";
  }
  const std::string downloads = scratchFolder("S:");
  TempDir onC;
  const std::string target = onC.str() + "\\app.dll";
  writeUtf8(target, "old");
  writeUtf8(downloads + "\\app.dll", "new");
  bool blocked = false;
  InstallFile(downloads + "\\app.dll", kInstallReplace, target, "1", onC.str(), blocked);
  EXPECT_FALSE(blocked);
  EXPECT_EQ(readUtf8(target), "new");
  EXPECT_FALSE(existsUtf8(downloads + "\\app.dll"));
  EXPECT_EQ(std::distance(fs::directory_iterator(onC.path()), fs::directory_iterator()), 1);

  // The target's volume has no room for the new file: the copy fails half-way.
  const std::string small = scratchFolder("R:");
  const std::string full = small + "\\app.dll";
  writeUtf8(full, std::string(100000, 'o'));
  writeUtf8(downloads + "\\app.dll", std::string(2u << 20, 'n'));
  blocked = false;
  InstallFile(downloads + "\\app.dll", kInstallReplace, full, "1", small, blocked);
  EXPECT_TRUE(blocked);
  EXPECT_TRUE(readUtf8(full) == std::string(100000, 'o')) << "the old file is whole";
  EXPECT_EQ(std::distance(fs::directory_iterator(pathFromUtf8(small)), fs::directory_iterator()),
            1)
      << "no staged copy is left behind";
  EXPECT_TRUE(existsUtf8(downloads + "\\app.dll"));
  std::error_code ec;
  fs::remove_all(pathFromUtf8(small), ec);
  fs::remove_all(pathFromUtf8(downloads), ec);
}

// --- the cache refresh ------------------------------------------------------------------------

TEST(CacheRefreshWin, ReadOnlyEntriesGoAndLinksAreRemovedNotEntered) {
  TempDir dir;
  const std::string cache = dir.str() + "\\BROKER";
  writeUtf8(cache + "\\App\\INSTALL_1.txt", "stamp");
  writeUtf8(dir.str() + "\\outside\\keep.txt", "keep");
  SetFileAttributesW(pathFromUtf8(cache + "\\App\\INSTALL_1.txt").c_str(),
                     FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(pathFromUtf8(cache + "\\App").c_str(), FILE_ATTRIBUTE_READONLY);
  // Where links can be made (Windows with the right to; Wine 8 reports success and makes
  // none), a folder link into "outside" is removed as a link and never entered.
  CreateSymbolicLinkW(pathFromUtf8(cache + "\\dirlink").c_str(),
                      pathFromUtf8(dir.str() + "\\outside").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
  const bool links = platform::entryKind(cache + "\\dirlink") == platform::EntryKind::Link;

  EXPECT_TRUE(DeleteFolderTree(cache));
  EXPECT_FALSE(existsUtf8(cache));
  EXPECT_EQ(readUtf8(dir.str() + "\\outside\\keep.txt"), "keep");
  if (!links) std::cout << "[ NOTE     ] no links could be made here; only read-only entries\n";

  // A plain file named like a login-type folder is no cache: left alone, and a success.
  writeUtf8(dir.str() + "\\CLIENT", "file");
  EXPECT_TRUE(DeleteFolderTree(dir.str() + "\\CLIENT"));
  EXPECT_EQ(readUtf8(dir.str() + "\\CLIENT"), "file");
}

}  // namespace
}  // namespace zentro::testing
