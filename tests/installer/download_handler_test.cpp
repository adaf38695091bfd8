#include "installer/download_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "installer/install_downloaded.h"
#include "platform/machine_registry.h"
#include "platform/sha256.h"
#include "remote/text_case.h"
#include "tests/installer/install_world.h"
#include "tests/support/zip_craft.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;

// A ZIP archive holding `content` as `name`.
std::string zipOf(const std::string& name, const std::string& content) {
  return buildZipArchive({{name, deflateBytes(content), std::nullopt}});
}

using DownloadTest = InstallWorld;

// The byte label follows the chunks of an archive and of a plain file, the last chunk as short
// as it comes (one byte for the plain file); the archive is expanded, its file placed and the
// archive deleted; the plain file gets its side file; a second start finds both current.
TEST_F(DownloadTest, FilesAreFetchedInChunksPlacedAndFoundCurrentNextTime) {
  const std::string content = noise(4883);
  const std::string zip = zipOf("app.dll", content);
  ASSERT_EQ(zip.size(), 5000u);  // the bytes do not compress
  serve("app.dll.zip", zip);
  serve("bin/lib.dll", noise(2049));
  installed(product("app.dll"), "old", "1.0.0.0");
  installed(product("lib.dll"), "old", "1.0.0.0");
  Entry lib = named("lib.dll");
  lib.downloadLocation = "bin/lib.dll";
  lib.description = "The application library";
  const std::vector<Entry> list = {named("app.dll", "CORVALEDIR", "app.dll.zip"), lib,
                                   launchEntry("app.exe")};
  FaultProxy& seeing = useProxy();
  runInstall(list);
  EXPECT_EQ(view->labelHistory(Label::Bytes),
            (std::vector<std::string>{"2k of 5k", "4k of 5k", "5k of 5k", "2k of 2k"}));
  const std::vector<std::string> bars = view->barHistory(Bar::Current);
  for (const char* bar : {"1775.616", "4335"}) {
    EXPECT_NE(std::ranges::find(bars, bar), bars.end()) << bar;
  }
  EXPECT_TRUE(view->journalHas(
      "label FrameStatus: Downloading and Installing: The application library"));
  EXPECT_EQ(readFile(product("app.dll")), content);
  EXPECT_EQ(readFile(product("lib.dll")), noise(2049));
  EXPECT_EQ(readFile(product("lib.dll.ver")), "2.0.0.0\r\n");
  EXPECT_EQ(leftovers(folders.tempFolder), std::vector<std::string>{});
  ASSERT_EQ(seeing.seen().size(), 2u);
  EXPECT_EQ(seeing.seen()[0].header("Proxy-Connection"), "Keep-Alive");
  EXPECT_TRUE(view->journalHas("timer: on"));  // enabled again after the response
  EXPECT_FALSE(session.downloadFailed);
  EXPECT_EQ(host.stamps, 1);
  EXPECT_FALSE(view->installTimerEnabled());

  freshWindow();
  runInstall(list);
  EXPECT_EQ(hits(), 2);
  EXPECT_TRUE(view->journalHas("label FrameStatus: " + std::string(texts::kProcessing)));
}

// Found by fuzzing: an entry named like another one's temporary file ("x" and "x.part")
// must not take that file's place while the archive is expanded.
TEST_F(DownloadTest, EntryNamedLikeAnotherOnesTemporaryFileKeepsItsOwnBytes) {
  serve("app.dll.zip", buildZipArchive({{"app.dll.part", deflateBytes("decoy"), std::nullopt},
                                        {"app.dll", deflateBytes("the library"), std::nullopt}}));
  runInstall({named("app.dll", "CORVALEDIR", "app.dll.zip")});
  EXPECT_EQ(readFile(product("app.dll")), "the library");
  EXPECT_FALSE(session.downloadFailed);
}

// A download that fails leaves the old file and the temp folder as they were; the walk goes
// on without stamps, and a message names the URL unless the body was merely cut short.
struct FailedCase {
  const char* name;
  std::optional<refservice::Fault> served;  // nullopt: the service does not have the file
  bool refused;                              // nothing listens at all
  bool box;
  std::string afterUrl;                      // the message's text after the URL
};
void PrintTo(const FailedCase& c, std::ostream* os) { *os << c.name; }

class FailedDownload : public InstallWorld, public ::testing::WithParamInterface<FailedCase> {};

TEST_P(FailedDownload, KeepsTheOldFileAndGoesOn) {
  const FailedCase& c = GetParam();
  if (c.served) serve("app.dll", noise(10000), *c.served);
  if (c.refused) session.installFilesUrl = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/";
  installed(product("app.dll"), "old", "1.0.0.0");
  runInstall({named("app.dll"), launchEntry("app.exe")});
  EXPECT_EQ(readFile(product("app.dll")), "old");
  EXPECT_EQ(leftovers(folders.tempFolder), std::vector<std::string>{});
  EXPECT_TRUE(session.downloadFailed);
  EXPECT_FALSE(session.updateBlocked);
  EXPECT_EQ(host.launches.size(), 1u);
  EXPECT_EQ(host.stamps, 0);
  ASSERT_EQ(view->messageBoxCount(), c.box ? 1 : 0);
  if (c.box) {
    EXPECT_EQ(view->lastMessageBox().text, std::string(texts::kDownloadError) + url("app.dll") + c.afterUrl);
    EXPECT_EQ(view->lastMessageBox().title, std::nullopt);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Downloads, FailedDownload,
    ::testing::Values(
        FailedCase{"NotFound", std::nullopt, false, true,
                   "\r" + std::string(texts::kNotFoundOthers) + "\r" + std::string(texts::kNotFoundContact)},
        FailedCase{"OtherStatus", refservice::Fault{refservice::Fault::Kind::Status500}, false, true, ""},
        FailedCase{"CutShort", refservice::Fault{refservice::Fault::Kind::CutBody, 6144}, false, false, ""},
        FailedCase{"ConnectionRefused", std::nullopt, true, true, ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DownloadTest, Sha256IsCheckedBeforeAnythingIsPlaced) {
  const std::string body = noise(3000);
  serve("good.dll", body);
  serve("bad.dll", body);
  installed(product("bad.dll"), "old", "1.0.0.0");
  Entry good = named("good.dll");
  good.sha256 = upperCase(platform::Sha256::hex(platform::Sha256::of(body)));
  Entry bad = named("bad.dll");
  bad.sha256 = platform::Sha256::hex(platform::Sha256::of(body + "x"));
  runInstall({good, bad});
  EXPECT_EQ(readFile(product("good.dll")), body);
  EXPECT_EQ(readFile(product("bad.dll")), "old");
  EXPECT_EQ(leftovers(folders.tempFolder), std::vector<std::string>{});
  EXPECT_TRUE(session.downloadFailed);
  EXPECT_FALSE(session.updateBlocked);
}

// Neither a list without the SHA256 field nor an answer without a Content-Length stops a
// complete download.
TEST_F(DownloadTest, ListWithoutSha256AndAnswerWithoutLengthInstall) {
  serve("chunked.dll", noise(4500));
  useProxy().editAnswer("chunked.dll", [](const HttpRequest&, HttpReply& r) { r.chunked = true; });
  runInstall({named("chunked.dll")}, /*withSha256=*/false);
  EXPECT_EQ(readFile(product("chunked.dll")), noise(4500));
  EXPECT_FALSE(session.downloadFailed);
}

TEST_F(DownloadTest, ZipSlipArchiveIsRefusedAndNothingStalePassesForIt) {
  serve("app.dll.zip", zipOf("../../escaped.dll", "evil"));
  installed(product("app.dll"), "old", "1.0.0.0");
  // Left by an earlier run: must not be installed in place of the archive's content.
  dir.write(temp("app.dll"), "stale");
  runInstall({named("app.dll", "CORVALEDIR", "app.dll.zip"), launchEntry("app.exe")});
  EXPECT_FALSE(fs::exists(dir.path() / "escaped.dll"));
  EXPECT_FALSE(fs::exists(pathFromUtf8(folders.tempFolder) / ".." / ".." / "escaped.dll"));
  EXPECT_FALSE(fs::exists(pathFromUtf8(temp("app.dll.cmp"))));
  EXPECT_EQ(readFile(product("app.dll")), "old");
  EXPECT_TRUE(session.downloadFailed);
  // The file could not be placed: the run stops as for any target it cannot replace.
  EXPECT_TRUE(session.updateBlocked);
  ASSERT_EQ(view->messageBoxCount(), 1);
  EXPECT_EQ(view->lastMessageBox().title, std::optional<std::string>(texts::kInstallErrorTitle));
  EXPECT_TRUE(host.launches.empty());
}

TEST_F(DownloadTest, TempFolderTargetSurvivesAnArchiveThatDoesNotDeliverIt) {
  // For a TEMPDIR entry the installed file is the archive's own output name.
  serve("broken.zip", "PK\x03\x04 not an archive");
  serve("other.zip", zipOf("other.dll", "other"));
  for (const char* location : {"broken.zip", "other.zip"}) {
    session.updateBlocked = session.downloadFailed = false;
    freshWindow();
    installed(temp("tool.dll"), "old", "1.0.0.0");
    runInstall({named("tool.dll", "TEMPDIR", location)});
    EXPECT_EQ(readFile(temp("tool.dll")), "old") << location;
    EXPECT_TRUE(session.downloadFailed) << location;
  }
}

TEST_F(DownloadTest, UnsafeFileNameIsNeverFetched) {
  serve("x.dll", "x");
  Entry up = named("../x.dll");
  up.downloadLocation = "x.dll";
  Entry sub = named("sub/x.dll");
  sub.downloadLocation = "x.dll";
  runInstall({up, sub, launchEntry("app.exe")});
  EXPECT_EQ(hits(), 0);
  EXPECT_FALSE(fs::exists(pathFromUtf8(folders.productFolder) / ".." / "x.dll"));
  EXPECT_TRUE(session.downloadFailed);
  EXPECT_EQ(host.launches.size(), 1u);
  EXPECT_EQ(host.stamps, 0);
}

// The handler on its own refuses a name that would leave the temp folder.
TEST_F(DownloadTest, HandlerRefusesUnsafeFileName) {
  serve("x.dll", "x");
  handleDownload("x.dll", "../escaped.dll", folders.tempFolder);
  EXPECT_TRUE(session.downloadFailed);
  EXPECT_FALSE(fs::exists(pathFromUtf8(folders.tempFolder) / ".." / "escaped.dll"));
  EXPECT_FALSE(fs::exists(pathFromUtf8(product("escaped.dll"))));
}

TEST_F(DownloadTest, ConnectionDroppedBeforeAnswerIsRetried) {
  serve("flaky.dll", "second time lucky", {refservice::Fault::Kind::Refuse, 0, 1});
  runInstall({named("flaky.dll")});
  EXPECT_EQ(hits("flaky.dll"), 2);
  EXPECT_EQ(readFile(product("flaky.dll")), "second time lucky");
  EXPECT_FALSE(session.downloadFailed);
  EXPECT_EQ(view->messageBoxCount(), 0);
}

TEST_F(DownloadTest, FontIsRegisteredAndLoaded) {
  ASSERT_TRUE(platform::createMachineKey(fontsKey()));
  profile.forgetMachineValue(fontsKey(), "Corvale Font corvale.ttf");
  const std::string bytes = "not really a font, but named like one";
  serve("corvale.ttf", bytes);
  Entry font = named("corvale.ttf", "FONTSDIR");
  font.installType = kInstallReplace;
  runInstall({font});
  EXPECT_EQ(readFile(platform::joinPath(folders.fontsFolder, "corvale.ttf")), bytes);
  EXPECT_EQ(fontsKey(), std::string(texts::kFontsKeyNt));
  EXPECT_EQ(platform::readMachineString(fontsKey(), "Corvale Font corvale.ttf"),
            std::optional<std::string>("corvale.ttf"));
  EXPECT_NE(profile.sessionFontLoaded("corvale.ttf"), std::optional<bool>(false));
  EXPECT_TRUE(view->journalHas("busy: on"));
  EXPECT_TRUE(view->journalHas("busy: off"));
}

TEST(ByteProgressFormat, RoundsHalvesToEven) {
  const struct {
    long long received;
    long long expected;
    const char* text;
  } rows[] = {{3072, 10240, "3k of 10k"}, {0, 0, "0k of 0k"},
              {512, 1536, "0k of 2k"},     // 0.5 -> 0, 1.5 -> 2
              {2560, 3584, "2k of 4k"},    // 2.5 -> 2, 3.5 -> 4
              {513, 1535, "1k of 1k"},     // nearest otherwise
              {2048, 5000, "2k of 5k"},
              {1073741824LL * 3, 1073741824LL * 3, "3145728k of 3145728k"}};
  for (const auto& row : rows) {
    EXPECT_EQ(formatByteProgress(row.received, row.expected), row.text) << row.received;
  }
}

TEST(loggableUrl, MasksUserInformation) {
  EXPECT_EQ(loggableUrl("http://token@host:80/a@b"), "http://***@host:80/a@b");
  EXPECT_EQ(loggableUrl("http://host/path"), "http://host/path");
}

}  // namespace
}  // namespace zentro::testing
