#include "installer/install_run.h"

#include <gtest/gtest.h>

#include "installer/count_format.h"
#include "platform/machine_registry.h"
#include "tests/installer/install_world.h"

namespace zentro::testing {
namespace {

std::string caption(const InstallSession& s) { return s.deploymentCaption; }

using InstallRunTest = InstallWorld;

TEST_F(InstallRunTest, EmptyListCompletesWritesStampsAndCloses) {
  setList({});
  runInstall();
  EXPECT_TRUE(view->journalHas("label Message: " + caption(session) +
                              std::string(texts::kInitializationComplete)));
  EXPECT_TRUE(view->journalHas("label FrameStatus: "));
  EXPECT_EQ(host.stamps, 1);
  EXPECT_TRUE(host.launches.empty());
  EXPECT_TRUE(view->unloaded());
  EXPECT_EQ(view->messageBoxCount(), 0);
  // The timer was armed once and the walk ran once: no second walk over the exhausted list.
  EXPECT_EQ(events.ticks, 1);
}

TEST_F(InstallRunTest, NoStampsWhenUpdatesSkippedOrOnlyChecked) {
  for (bool checkOnly : {false, true}) {
    freshWindow();
    session.skipUpdates = !checkOnly;
    session.checkOnly = checkOnly;
    host.stamps = 0;
    setList({});
    runInstall();
    EXPECT_TRUE(view->unloaded());
    EXPECT_EQ(host.stamps, 0) << "checkOnly=" << checkOnly;
  }
}

TEST_F(InstallRunTest, OnlyLaunchRecordLaunchesOnceWithoutSummary) {
  setList({launchEntry("app.exe")});
  runInstall();
  ASSERT_EQ(host.launches.size(), 1u);
  EXPECT_EQ(host.launches[0], product("app.exe"));
  EXPECT_EQ(session.updateCount, 0);
  EXPECT_EQ(view->messageBoxCount(), 0);
  EXPECT_EQ(hits(), 0);
  EXPECT_EQ(host.stamps, 1);
  EXPECT_TRUE(view->unloaded());
}

TEST_F(InstallRunTest, EveryLaunchRecordIsLaunched) {
  Entry second = launchEntry("tool.exe");
  second.sequenceId = 10000;
  second.location = "COMMONDIR";
  setList({launchEntry("app.exe"), second});
  runInstall();
  ASSERT_EQ(host.launches.size(), 2u);
  EXPECT_EQ(host.launches[1], platform::joinPath(folders.commonFolder, "tool.exe"));
}

TEST_F(InstallRunTest, AltCheckPlaceholdersAreReplacedWithLetterCase) {
  installed(folders.systemFolder + "/sys.dll", "x", "2.0.0.0");
  installed(folders.rootFolder + "/pf.dll", "x", "2.0.0.0");
  installed(folders.windowsFolder + "/win.dll", "x", "2.0.0.0");
  auto alt = [](const std::string& name, const std::string& altCheck) {
    Entry e;
    e.fileName = name;
    e.altCheck = altCheck;
    return e;
  };
  session.checkOnly = true;
  setList({alt("a.dll", "<SYSTEMDIR>\\sys.dll"), alt("b.dll", "<PROGRAMFILES>\\pf.dll"),
           alt("c.dll", "<WINDOWSDIR>\\win.dll"),
           // Lower case is not a placeholder: the path names nothing, so no version is found.
           alt("d.dll", "<systemdir>\\sys.dll")});
  runInstall();
  EXPECT_EQ(session.updateCount, 1);
  EXPECT_TRUE(view->journalHas("label FrameStatus: 1 update found..."));
  EXPECT_EQ(hits(), 0);
}

TEST_F(InstallRunTest, RegistryValueGivesTheInstalledVersion) {
  const std::string key = profile.scratchMachineKey();
  ASSERT_TRUE(platform::createMachineKey(key));
  ASSERT_TRUE(platform::writeMachineString(key, "Version", "3.0.0.0"));
  auto reg = [&](const std::string& name, const std::string& offered) {
    Entry e;
    e.fileName = name;
    e.fileVersion = offered;
    e.altCheck = key;
    e.altCheckRegValue = "Version";
    return e;
  };
  session.checkOnly = true;
  setList({reg("same.dll", "3.0.0.0"), reg("newer.dll", "3.1")});
  runInstall();
  EXPECT_EQ(session.updateCount, 1);
  EXPECT_EQ(session.installedVersion, "3.0.0.0");
}

TEST_F(InstallRunTest, PresentFontIsNeverReplaced) {
  installed(folders.fontsFolder + "/corvale.ttf", "old font", "1.0.0.0");
  Entry font;
  font.fileName = "corvale.ttf";
  font.location = "FontsDir";  // compared upper-cased
  font.fileVersion = "9.0.0.0";
  setList({font});
  runInstall();
  EXPECT_TRUE(session.currentIsFont);
  EXPECT_TRUE(view->journalHas("label FrameStatus: " + std::string(texts::kProcessing)));
  EXPECT_EQ(hits(), 0);
  EXPECT_EQ(readFile(folders.fontsFolder + "/corvale.ttf"), "old font");
}

TEST_F(InstallRunTest, MissingFontIsNotInstalledOnASharedSystem) {
  Entry font;
  font.fileName = "corvale.ttf";
  font.location = "FONTSDIR";
  session.sharedEnvironment = true;
  setList({font});
  runInstall();
  EXPECT_EQ(hits(), 0);
  EXPECT_EQ(host.stamps, 1);
}

TEST_F(InstallRunTest, CheckOnlyCountsInTheStatusCaption) {
  session.checkOnly = true;
  Entry a, b, c;
  a.fileName = "a.dll";
  b.fileName = "b.dll";
  c.fileName = "c.dll";
  setList({a, b, c, launchEntry("app.exe")});
  runInstall();
  EXPECT_EQ(view->labelHistory(Label::FrameStatus),
            (std::vector<std::string>{"1 update found...", "2 updates found...",
                                      "3 updates found...", ""}));
  EXPECT_EQ(session.updateCount, 3);
  EXPECT_EQ(hits(), 0);
  EXPECT_EQ(host.stamps, 0);
  EXPECT_EQ(host.launches.size(), 1u);
}

TEST_F(InstallRunTest, UpdateAdministratorSeesTheSummaryBeforeTheLaunch) {
  session.isUpdateAdmin = true;
  serve("a.dll", "new a");
  Entry a;
  a.fileName = "a.dll";
  setList({a, launchEntry("app.exe")});
  host.onLaunch = [&] { EXPECT_EQ(view->messageBoxCount(), 1); };
  runInstall();
  ASSERT_EQ(view->messageBoxCount(), 1);
  EXPECT_EQ(view->messageBoxes()[0].text, caption(session) + "\r\r1 file was updated.");
  EXPECT_EQ(view->messageBoxes()[0].title, std::optional<std::string>(""));
  EXPECT_EQ(view->messageBoxes()[0].icon, Icon::None);
  EXPECT_EQ(readFile(product("a.dll")), "new a");
}

TEST_F(InstallRunTest, SummaryCountUsesThousandsSeparator) {
  session.isUpdateAdmin = true;
  session.updateCount = 1499;  // as if fifteen hundred files were updated in this run
  serve("a.dll", "new a");
  Entry a;
  a.fileName = "a.dll";
  setList({a, launchEntry("app.exe")});
  runInstall();
  ASSERT_EQ(view->messageBoxCount(), 1);
  EXPECT_EQ(view->messageBoxes()[0].text, caption(session) + "\r\r1,500 files were updated.");
}

TEST_F(InstallRunTest, MissingRightsStopsTheWalkAndClosesTheWindow) {
  session.hasAdminAccess = false;
  installed(product("current.dll"), "x", "2.0.0.0");
  Entry current, needed, later;
  current.fileName = "current.dll";
  needed.fileName = "needed.dll";
  later.fileName = "later.dll";
  serve("needed.dll", "n");
  setList({current, needed, later, launchEntry("app.exe")});
  runInstall();
  ASSERT_EQ(view->messageBoxCount(), 1);
  const auto& box = view->lastMessageBox();
  EXPECT_EQ(box.text, std::string(texts::kMissingRights) + "\r\r" +
                          std::string(texts::kMissingRightsAdvice));
  EXPECT_EQ(box.icon, Icon::Critical);
  EXPECT_EQ(box.title, std::optional<std::string>("Critical Error"));
  EXPECT_TRUE(view->unloaded());
  EXPECT_EQ(hits(), 0);
  EXPECT_TRUE(host.launches.empty());
  EXPECT_EQ(host.stamps, 0);
  EXPECT_EQ(session.currentFileName, "needed.dll");
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
  Entry locked, after;
  locked.fileName = "locked.dll";
  after.fileName = "after.dll";
  setList({locked, after, launchEntry("app.exe")});
  runInstall();
  holder.release();

  EXPECT_TRUE(session.updateBlocked);
  ASSERT_EQ(view->messageBoxCount(), 1);
  const auto& box = view->lastMessageBox();
  EXPECT_EQ(box.text,
            std::string(shared ? texts::kInstallErrorShared : texts::kInstallErrorSingle) +
                "\r\r" + std::string(texts::kWillNowClose));
  EXPECT_EQ(box.title, std::optional<std::string>("INSTALLATION ERROR"));
  EXPECT_EQ(box.icon, Icon::None);
  EXPECT_TRUE(view->unloaded());
  EXPECT_EQ(readFile(product("locked.dll")), "old");
  EXPECT_EQ(hits("locked.dll"), 1);
  EXPECT_EQ(hits("after.dll"), 0);
  EXPECT_FALSE(std::filesystem::exists(platform::pathFromUtf8(product("after.dll"))));
  EXPECT_TRUE(host.launches.empty());
  EXPECT_EQ(host.stamps, 0);
}

INSTANTIATE_TEST_SUITE_P(SharedOrSingle, BlockedTargetTest, ::testing::Bool());

TEST_F(InstallRunTest, TotalBarReachesFullWidthAtTheLastRow) {
  session.checkOnly = true;
  std::vector<Entry> entries(7);
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i].fileName = "f" + std::to_string(i);
  setList(entries);
  runInstall();
  EXPECT_DOUBLE_EQ(view->barWidth(Bar::Total), kTotalBarWidth);
  EXPECT_TRUE(view->journalHas("bar Total: 6375"));
  EXPECT_TRUE(view->journalHas("bar Total: 910.7142857"));  // 6375 / 7 at the first row
}

TEST_F(InstallRunTest, TickDuringAWalkDoesNothing) {
  setList({launchEntry("app.exe"), launchEntry("other.exe")});
  std::size_t journalBefore = 0;
  bool sawWalking = false;
  host.onLaunch = [&] {
    if (host.launches.size() != 1) return;
    sawWalking = run->walking();
    journalBefore = view->journal().size();
    run->tick();  // as a timer tick delivered while the walk processes messages
    EXPECT_EQ(view->journal().size(), journalBefore);
  };
  runInstall();
  EXPECT_TRUE(sawWalking);
  EXPECT_EQ(host.launches.size(), 2u);  // the walk went on past the nested tick
  EXPECT_FALSE(run->walking());
}

TEST_F(InstallRunTest, DownloadedFileIsInstalledAndFoundCurrentNextTime) {
  installed(product("app.dll"), "old", "1.0.0.0");
  serve("bin/app.dll", "new content");
  Entry e;
  e.fileName = "app.dll";
  e.downloadLocation = "bin/app.dll";
  e.description = "The application library";
  setList({e, launchEntry("app.exe")});
  FaultProxy& seeing = useProxy();
  runInstall();
  EXPECT_TRUE(view->journalHas(
      "label FrameStatus: Downloading and Installing: The application library"));
  EXPECT_EQ(readFile(product("app.dll")), "new content");
  EXPECT_EQ(readFile(product("app.dll.ver")), "2.0.0.0\r\n");
  ASSERT_EQ(seeing.seen().size(), 1u);
  EXPECT_EQ(seeing.seen()[0].header("Proxy-Connection"), "Keep-Alive");
  EXPECT_EQ(host.stamps, 1);
  EXPECT_FALSE(view->installTimerEnabled());

  // A second start finds the file current: nothing is fetched.
  freshWindow();
  setList({e, launchEntry("app.exe")});
  runInstall();
  EXPECT_EQ(hits("bin/app.dll"), 1);
  EXPECT_TRUE(view->journalHas("label FrameStatus: " + std::string(texts::kProcessing)));
}

TEST_F(InstallRunTest, UnknownInstallLocationIsRefused) {
  serve("x.dll", "x");
  Entry e;
  e.fileName = "x.dll";
  e.location = "ROOTOFDRIVE";
  setList({e});
  runInstall();
  EXPECT_EQ(hits(), 0);
  EXPECT_TRUE(session.downloadFailed);
  EXPECT_EQ(host.stamps, 0);
  EXPECT_TRUE(view->unloaded());
}

TEST(CountFormat, GroupsThousandsWithTheGivenSeparator) {
  EXPECT_EQ(formatCount(0, ","), "0");
  EXPECT_EQ(formatCount(999, ","), "999");
  EXPECT_EQ(formatCount(1000, ","), "1,000");
  EXPECT_EQ(formatCount(1500, "."), "1.500");
  EXPECT_EQ(formatCount(1234567, ","), "1,234,567");
  EXPECT_EQ(formatCount(-32768, ","), "-32,768");
  EXPECT_EQ(formatCount(1234567, "\xE2\x80\xAF"), "1\xE2\x80\xAF" "234\xE2\x80\xAF" "567");
}

}  // namespace
}  // namespace zentro::testing
