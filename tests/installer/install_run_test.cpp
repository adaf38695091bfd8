// The install run, ticked by its timer in a world of its own: the list's entries, their
// downloads through the download handler, and what the run shows, places and launches.
#include "installer/install_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "installer/count_format.h"
#include "installer/download_handler.h"
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
using InstallRunTest = InstallWorld;

// Runs whose list needs no download: what they launch, count and stamp, and what they show.
struct QuietCase {
  const char* name;
  std::function<std::vector<Entry>(InstallWorld&)> prepare;  // the list; folders, flags, files
  int updates;
  int stamps;
  bool launchesApp;                 // the product folder's app.exe, else nothing
  std::vector<std::string> shown;   // journal lines that must appear
  std::function<void(InstallWorld&)> check = nullptr;  // anything else
};
void PrintTo(const QuietCase& c, std::ostream* os) { *os << c.name; }

class QuietRun : public InstallWorld, public ::testing::WithParamInterface<QuietCase> {};

TEST_P(QuietRun, LaunchesCountsAndStamps) {
  const QuietCase& c = GetParam();
  runInstall(c.prepare(*this));
  EXPECT_EQ(hits(), 0);
  EXPECT_EQ(session.updateCount, c.updates);
  EXPECT_EQ(host.stamps, c.stamps);
  const std::vector<std::string> app = {product("app.exe")};
  EXPECT_EQ(host.launches, c.launchesApp ? app : std::vector<std::string>{});
  for (const std::string& line : c.shown) EXPECT_TRUE(view->journalHas(line)) << line << "\n" << view->journalText();
  EXPECT_TRUE(view->unloaded());
  // The timer was armed once and the walk ran once: no second walk over the exhausted list.
  EXPECT_EQ(std::ranges::count(events.calls, "tmrComInstall_Timer"), 1);
  if (c.check) c.check(*this);
}

// Where an unknown install location's path ends up: the root of the drive.
const std::string kAtTheRoot = platform::joinPath("", "zentro-outside-every-folder.dll");

const QuietCase kQuietRuns[] = {
    {"EmptyList", [](InstallWorld&) { return std::vector<Entry>{}; }, 0, 1, false,
     {"label Message: [Demo Deployment]" + std::string(texts::kInitializationComplete), "label FrameStatus: "},
     [](InstallWorld& w) { EXPECT_EQ(w.view->messageBoxCount(), 0); }},
    {"UpdatesSkipped", [](InstallWorld& w) { w.session.skipUpdates = true; return std::vector<Entry>{}; }, 0, 0, false, {}},
    // Only the placeholders in upper case stand for folders.
    {"AltCheckPlaceholders",
     [](InstallWorld& w) {
       for (const char* f : {"system/sys.dll", "root/pf.dll", "windows/win.dll"}) w.installed(w.dir.file(f), "x", "2.0.0.0");
       w.session.checkOnly = true;
       auto alt = [](const std::string& name, const std::string& altCheck) {
         Entry e = named(name);
         e.altCheck = altCheck;
         return e;
       };
       return std::vector<Entry>{alt("a.dll", "<SYSTEMDIR>\\sys.dll"), alt("b.dll", "<PROGRAMFILES>\\pf.dll"),
                                 alt("c.dll", "<WINDOWSDIR>\\win.dll"), alt("d.dll", "<systemdir>\\sys.dll")};
     },
     1, 0, false, {"label FrameStatus: 1 update found..."}},
    {"RegistryValueGivesTheVersion",
     [](InstallWorld& w) {
       const std::string key = w.profile.scratchMachineKey();
       EXPECT_TRUE(platform::createMachineKey(key));
       EXPECT_TRUE(platform::writeMachineString(key, "Version", "3.0.0.0"));
       w.session.checkOnly = true;
       std::vector<Entry> list = {named("same.dll"), named("newer.dll")};
       list[0].fileVersion = "3.0.0.0";
       list[1].fileVersion = "3.1";
       for (Entry& e : list) e.altCheck = key, e.altCheckRegValue = "Version";
       return list;
     },
     1, 0, false, {}, [](InstallWorld& w) { EXPECT_EQ(w.session.installedVersion, "3.0.0.0"); }},
    {"PresentFontIsNeverReplaced",
     [](InstallWorld& w) {
       w.installed(w.dir.file("fonts/corvale.ttf"), "old font", "1.0.0.0");
       Entry font = named("corvale.ttf", "FontsDir");  // compared upper-cased
       font.fileVersion = "9.0.0.0";
       return std::vector<Entry>{font};
     },
     0, 1, false, {"label FrameStatus: " + std::string(texts::kProcessing)},
     [](InstallWorld& w) {
       EXPECT_TRUE(w.session.currentIsFont);
       EXPECT_EQ(readFile(w.dir.file("fonts/corvale.ttf")), "old font");
     }},
    {"MissingFontOnASharedSystem",
     [](InstallWorld& w) {
       w.session.sharedEnvironment = true;
       return std::vector<Entry>{named("corvale.ttf", "FONTSDIR")};
     },
     0, 1, false, {}},
    {"CheckOnlyCountsInTheCaptionAndFillsTheTotalBar",
     [](InstallWorld& w) {
       w.session.checkOnly = true;
       std::vector<Entry> list;
       for (int i = 0; i < 6; ++i) list.push_back(named("f" + std::to_string(i)));
       list.push_back(launchEntry("app.exe"));
       return list;
     },
     6, 0, true, {"bar Total: 6375", "bar Total: 910.7142857"},  // 6375 / 7 at the first row
     [](InstallWorld& w) {
       EXPECT_EQ(w.view->labelHistory(Label::FrameStatus),
                 (std::vector<std::string>{"1 update found...", "2 updates found...", "3 updates found...",
                                           "4 updates found...", "5 updates found...", "6 updates found...", ""}));
       EXPECT_DOUBLE_EQ(w.view->barWidth(Bar::Total), kTotalBarWidth);
     }},
    // Neither an unknown location nor a name that leaves its folder is fetched; the walk goes on.
    {"UnknownLocationAndUnsafeNamesAreRefused",
     [](InstallWorld& w) {
       w.serve("x.dll", "x");
       std::vector<Entry> list = {named("x.dll", "ROOTOFDRIVE"), named("../x.dll"), named("sub/x.dll"),
                                  launchEntry("app.exe")};
       list[1].downloadLocation = list[2].downloadLocation = "x.dll";
       return list;
     },
     0, 0, true, {},
     [](InstallWorld& w) {
       EXPECT_TRUE(w.session.downloadFailed) << w.view->journalText();
       EXPECT_FALSE(std::filesystem::exists(w.dir.path() / "x.dll"));
     }},
    // Where the machine lets a test write there, a current copy at the root of the drive (where
    // an unknown location's path ends up) does not pass the entry off as installed.
    {"UnknownLocationIsRefusedWhateverLiesAtTheRoot",
     [](InstallWorld&) {
       std::ofstream(platform::pathFromUtf8(kAtTheRoot)) << "x";
       std::ofstream(platform::pathFromUtf8(kAtTheRoot + ".ver")) << "99.0.0.0\r\n";
       return std::vector<Entry>{named("zentro-outside-every-folder.dll", "ROOTOFDRIVE")};
     },
     0, 0, false, {},
     [](InstallWorld& w) {
       EXPECT_TRUE(w.session.downloadFailed) << w.view->journalText();
       std::error_code ec;
       std::filesystem::remove(platform::pathFromUtf8(kAtTheRoot), ec);
       std::filesystem::remove(platform::pathFromUtf8(kAtTheRoot + ".ver"), ec);
     }},
    {"MissingRightsStopTheWalk",
     [](InstallWorld& w) {
       w.session.hasAdminAccess = false;
       w.installed(w.product("current.dll"), "x", "2.0.0.0");
       w.serve("needed.dll", "n");
       return std::vector<Entry>{named("current.dll"), named("needed.dll"), named("later.dll"), launchEntry("app.exe")};
     },
     0, 0, false, {},
     [](InstallWorld& w) {
       EXPECT_EQ(w.view->messageBoxCount(), 1);
       EXPECT_TRUE(w.view->journalHas("msgbox[Ok,Critical,'Critical Error']: " +
                                      std::string(texts::kMissingRights) + "\r\r" +
                                      std::string(texts::kMissingRightsAdvice)));
       EXPECT_EQ(w.session.currentFileName, "needed.dll");
     }},
};

INSTANTIATE_TEST_SUITE_P(Lists, QuietRun, ::testing::ValuesIn(kQuietRuns),
                         [](const auto& p) { return std::string(p.param.name); });

// The count of a whole run is DownloadTest's; the count uses the thousands separator.
TEST_F(InstallRunTest, UpdateAdministratorSeesTheSummaryBeforeTheLaunch) {
  session.isUpdateAdmin = true;
  host.onLaunch = [&] { EXPECT_EQ(view->messageBoxCount(), 1); };
  for (const auto& [count, text] :
       {std::pair{1, "1 file was updated."}, {1500, "1,500 files were updated."}}) {
    session.updateCount = count;  // as if `count` files were updated in this run
    runInstall({launchEntry("app.exe")});
    EXPECT_TRUE(view->journalHas("msgbox[Ok,None,'']: [Demo Deployment]\r\r" + std::string(text)))
        << view->journalText();
  }
}

class BlockedTargetTest : public InstallWorld, public ::testing::WithParamInterface<bool> {};

TEST_P(BlockedTargetTest, ShowsInstallationErrorAndStops) {
  const bool shared = GetParam();
  session.sharedEnvironment = shared;
  installed(product("locked.dll"), "old", "1.0.0.0");
  // Another program holds the target: it cannot be replaced.
  HeldFile holder(product("locked.dll"));
  ASSERT_TRUE(holder.held());
  serve("locked.dll", "new");
  serve("after.dll", "after");
  runInstall({named("locked.dll"), named("after.dll"), launchEntry("app.exe")});
  holder.release();

  EXPECT_TRUE(session.updateBlocked);
  EXPECT_EQ(view->messageBoxCount(), 1);
  const std::string text(shared ? texts::kInstallErrorShared : texts::kInstallErrorSingle);
  EXPECT_TRUE(view->journalHas("msgbox[Ok,None,'INSTALLATION ERROR']: " + text + "\r\r" +
                               std::string(texts::kWillNowClose)));
  EXPECT_TRUE(view->unloaded());
  EXPECT_EQ(readFile(product("locked.dll")), "old");
  EXPECT_EQ(hits("locked.dll"), 1);
  EXPECT_EQ(hits("after.dll"), 0);
  EXPECT_FALSE(fs::exists(pathFromUtf8(product("after.dll"))));
  EXPECT_TRUE(host.launches.empty());
  EXPECT_EQ(host.stamps, 0);
}

INSTANTIATE_TEST_SUITE_P(SharedOrSingle, BlockedTargetTest, ::testing::Bool());

// A tick while the walk runs does nothing, and the walk starts every launch record's program
// from its own folder.
TEST_F(InstallRunTest, TickDuringAWalkDoesNothingAndEveryLaunchRecordStarts) {
  std::size_t journalBefore = 0;
  bool sawWalking = false;
  host.onLaunch = [&] {
    if (host.launches.size() != 1) return;
    sawWalking = run->walking();
    journalBefore = view->journal().size();
    run->tick();  // as a timer tick delivered while the walk processes messages
    EXPECT_EQ(view->journal().size(), journalBefore);
  };
  Entry second = launchEntry("tool.exe");
  second.sequenceId = 10000;
  second.location = "COMMONDIR";
  runInstall({launchEntry("app.exe"), second});
  EXPECT_TRUE(sawWalking);
  const std::vector<std::string> launches = {product("app.exe"),
                                             platform::joinPath(folders.commonFolder, "tool.exe")};
  EXPECT_EQ(host.launches, launches);  // the walk went on past the nested tick
  EXPECT_EQ(view->messageBoxCount(), 0);
  EXPECT_FALSE(run->walking());
}

TEST(CountFormat, GroupsThousandsWithTheGivenSeparator) {
  const std::tuple<long long, const char*, const char*> rows[] = {
      {0, ",", "0"}, {999, ",", "999"}, {1000, ",", "1,000"}, {1500, ".", "1.500"},
      {1234567, ",", "1,234,567"}, {-32768, ",", "-32,768"},
      {1234567, "\xE2\x80\xAF", "1\xE2\x80\xAF" "234\xE2\x80\xAF" "567"}};
  for (const auto& [n, separator, text] : rows) EXPECT_EQ(formatCount(n, separator), text) << n;
}

// --- downloads ---

// A ZIP archive holding `content` as `name`.
std::string zipOf(const std::string& name, const std::string& content) {
  return buildZipArchive({{name, deflateBytes(content), std::nullopt}});
}

using DownloadTest = InstallWorld;

// The byte label follows the chunks of an archive and of a plain file, the last chunk as short
// as it comes (one byte for the plain file); the archive is expanded, its file placed and the
// archive deleted; the plain file gets its side file; the update administrator learns that two
// files were updated; a second start finds both current.
TEST_F(DownloadTest, FilesAreFetchedInChunksPlacedAndFoundCurrentNextTime) {
  const std::string content = noise(4883);
  const std::string zip = zipOf("app.dll", content);
  ASSERT_EQ(zip.size(), 5000u);  // the bytes do not compress
  serve("app.dll.zip", zip);
  serve("bin/lib.dll", noise(2049));
  installed(product("app.dll"), "old", "1.0.0.0");
  installed(product("lib.dll"), "old", "1.0.0.0");
  session.isUpdateAdmin = true;
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
  EXPECT_TRUE(view->journalHas("msgbox[Ok,None,'']: [Demo Deployment]\r\r2 files were updated."));
  EXPECT_EQ(leftovers(folders.tempFolder), std::vector<std::string>{});
  ASSERT_EQ(seeing.seen().size(), 2u);
  EXPECT_EQ(seeing.seen()[0].header("Proxy-Connection"), "Keep-Alive");
  EXPECT_TRUE(view->journalHas("timer: on"));  // enabled again after the response
  EXPECT_FALSE(session.downloadFailed);
  EXPECT_EQ(host.stamps, 1);
  EXPECT_FALSE(view->installTimerEnabled());

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
  EXPECT_EQ(view->messageBoxCount(), c.box ? 1 : 0);
  if (c.box) {
    EXPECT_TRUE(view->journalHas("msgbox[Ok,None,default]: " + std::string(texts::kDownloadError) +
                                 url("app.dll") + c.afterUrl)) << view->journalText();
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

// Neither a connection dropped before the answer (it is retried), a list without the SHA256
// field nor an answer without a Content-Length stops a download.
TEST_F(DownloadTest, DroppedConnectionListWithoutSha256AndAnswerWithoutLengthInstall) {
  serve("flaky.dll", "second time lucky", {refservice::Fault::Kind::Refuse, 0, 1});
  serve("chunked.dll", noise(4500));
  useProxy().editAnswer("chunked.dll", [](const HttpRequest&, HttpReply& r) { r.chunked = true; });
  runInstall({named("flaky.dll"), named("chunked.dll")}, /*withSha256=*/false);
  EXPECT_EQ(hits("flaky.dll"), 2);
  EXPECT_EQ(readFile(product("flaky.dll")), "second time lucky");
  EXPECT_EQ(readFile(product("chunked.dll")), noise(4500));
  EXPECT_FALSE(session.downloadFailed);
  EXPECT_EQ(view->messageBoxCount(), 0);
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
    installed(temp("tool.dll"), "old", "1.0.0.0");
    runInstall({named("tool.dll", "TEMPDIR", location)});
    EXPECT_EQ(readFile(temp("tool.dll")), "old") << location;
    EXPECT_TRUE(session.downloadFailed) << location;
  }
}

// The handler on its own refuses a name that would leave the temp folder.
TEST_F(DownloadTest, HandlerRefusesUnsafeFileName) {
  serve("x.dll", "x");
  handleDownload("x.dll", "../escaped.dll", folders.tempFolder);
  EXPECT_TRUE(session.downloadFailed);
  EXPECT_FALSE(fs::exists(pathFromUtf8(folders.tempFolder) / ".." / "escaped.dll"));
  EXPECT_FALSE(fs::exists(pathFromUtf8(product("escaped.dll"))));
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
