#include "installer/install_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "installer/count_format.h"
#include "platform/machine_registry.h"
#include "tests/installer/install_world.h"

namespace zentro::testing {
namespace {

using InstallRunTest = InstallWorld;

// Runs whose list needs no download: what they launch, count and stamp, and what they show.
struct QuietCase {
  const char* name;
  std::function<std::vector<Entry>(InstallWorld&)> prepare;  // the list; folders, flags, files
  int updates;
  int stamps;
  std::vector<std::string> launches;  // paths below the test's folder
  std::vector<std::string> shown;     // journal lines that must appear
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
  std::vector<std::string> launches;
  for (const std::string& l : c.launches) launches.push_back(platform::joinPath(dir.file(l.substr(0, l.find('/'))), l.substr(l.find('/') + 1)));
  EXPECT_EQ(host.launches, launches);
  for (const std::string& line : c.shown) EXPECT_TRUE(view->journalHas(line)) << line << "\n" << view->journalText();
  EXPECT_TRUE(view->unloaded());
  // The timer was armed once and the walk ran once: no second walk over the exhausted list.
  EXPECT_EQ(std::ranges::count(events.calls, "tmrComInstall_Timer"), 1);
  if (c.check) c.check(*this);
}

const QuietCase kQuietRuns[] = {
    {"EmptyList", [](InstallWorld&) { return std::vector<Entry>{}; }, 0, 1, {},
     {"label Message: [Demo Deployment]" + std::string(texts::kInitializationComplete), "label FrameStatus: "},
     [](InstallWorld& w) { EXPECT_EQ(w.view->messageBoxCount(), 0); }},
    {"UpdatesSkipped", [](InstallWorld& w) { w.session.skipUpdates = true; return std::vector<Entry>{}; }, 0, 0, {}, {}},
    {"EveryLaunchRecord",
     [](InstallWorld&) {
       Entry second = launchEntry("tool.exe");
       second.sequenceId = 10000;
       second.location = "COMMONDIR";
       return std::vector<Entry>{launchEntry("app.exe"), second};
     },
     0, 1, {"product/app.exe", "common/tool.exe"}, {},
     [](InstallWorld& w) { EXPECT_EQ(w.view->messageBoxCount(), 0); }},
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
     1, 0, {}, {"label FrameStatus: 1 update found..."}},
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
     1, 0, {}, {}, [](InstallWorld& w) { EXPECT_EQ(w.session.installedVersion, "3.0.0.0"); }},
    {"PresentFontIsNeverReplaced",
     [](InstallWorld& w) {
       w.installed(w.dir.file("fonts/corvale.ttf"), "old font", "1.0.0.0");
       Entry font = named("corvale.ttf", "FontsDir");  // compared upper-cased
       font.fileVersion = "9.0.0.0";
       return std::vector<Entry>{font};
     },
     0, 1, {}, {"label FrameStatus: " + std::string(texts::kProcessing)},
     [](InstallWorld& w) {
       EXPECT_TRUE(w.session.currentIsFont);
       EXPECT_EQ(readFile(w.dir.file("fonts/corvale.ttf")), "old font");
     }},
    {"MissingFontOnASharedSystem",
     [](InstallWorld& w) {
       w.session.sharedEnvironment = true;
       return std::vector<Entry>{named("corvale.ttf", "FONTSDIR")};
     },
     0, 1, {}, {}},
    {"CheckOnlyCountsInTheCaptionAndFillsTheTotalBar",
     [](InstallWorld& w) {
       w.session.checkOnly = true;
       std::vector<Entry> list;
       for (int i = 0; i < 6; ++i) list.push_back(named("f" + std::to_string(i)));
       list.push_back(launchEntry("app.exe"));
       return list;
     },
     6, 0, {"product/app.exe"}, {"bar Total: 6375", "bar Total: 910.7142857"},  // 6375 / 7 at the first row
     [](InstallWorld& w) {
       EXPECT_EQ(w.view->labelHistory(Label::FrameStatus),
                 (std::vector<std::string>{"1 update found...", "2 updates found...", "3 updates found...",
                                           "4 updates found...", "5 updates found...", "6 updates found...", ""}));
       EXPECT_DOUBLE_EQ(w.view->barWidth(Bar::Total), kTotalBarWidth);
     }},
    {"UnknownInstallLocationIsRefused",
     [](InstallWorld& w) {
       w.serve("x.dll", "x");
       return std::vector<Entry>{named("x.dll", "ROOTOFDRIVE")};
     },
     0, 0, {}, {}, [](InstallWorld& w) { EXPECT_TRUE(w.session.downloadFailed) << w.view->journalText(); }},
    {"MissingRightsStopTheWalk",
     [](InstallWorld& w) {
       w.session.hasAdminAccess = false;
       w.installed(w.product("current.dll"), "x", "2.0.0.0");
       w.serve("needed.dll", "n");
       return std::vector<Entry>{named("current.dll"), named("needed.dll"), named("later.dll"), launchEntry("app.exe")};
     },
     0, 0, {}, {},
     [](InstallWorld& w) {
       ASSERT_EQ(w.view->messageBoxCount(), 1);
       const auto& box = w.view->lastMessageBox();
       EXPECT_EQ(box.text, std::string(texts::kMissingRights) + "\r\r" + std::string(texts::kMissingRightsAdvice));
       EXPECT_EQ(box.icon, Icon::Critical);
       EXPECT_EQ(box.title, std::optional<std::string>("Critical Error"));
       EXPECT_EQ(w.session.currentFileName, "needed.dll");
     }},
};

INSTANTIATE_TEST_SUITE_P(Lists, QuietRun, ::testing::ValuesIn(kQuietRuns),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(InstallRunTest, UpdateAdministratorSeesTheSummaryBeforeTheLaunch) {
  session.isUpdateAdmin = true;
  serve("a.dll", "new a");
  serve("b.dll", "new b");
  host.onLaunch = [&] { EXPECT_EQ(view->messageBoxCount(), 1); };
  runInstall({named("a.dll"), launchEntry("app.exe")});
  ASSERT_EQ(view->messageBoxCount(), 1);
  EXPECT_EQ(view->messageBoxes()[0].text, session.deploymentCaption + "\r\r1 file was updated.");
  EXPECT_EQ(view->messageBoxes()[0].title, std::optional<std::string>(""));
  EXPECT_EQ(view->messageBoxes()[0].icon, Icon::None);
  EXPECT_EQ(readFile(product("a.dll")), "new a");

  // The count uses the thousands separator.
  freshWindow();
  session.updateCount = 1499;  // as if fifteen hundred files were updated in this run
  runInstall({named("b.dll"), launchEntry("app.exe")});
  ASSERT_EQ(view->messageBoxCount(), 1);
  EXPECT_EQ(view->messageBoxes()[0].text, session.deploymentCaption + "\r\r1,500 files were updated.");
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

TEST_F(InstallRunTest, TickDuringAWalkDoesNothing) {
  std::size_t journalBefore = 0;
  bool sawWalking = false;
  host.onLaunch = [&] {
    if (host.launches.size() != 1) return;
    sawWalking = run->walking();
    journalBefore = view->journal().size();
    run->tick();  // as a timer tick delivered while the walk processes messages
    EXPECT_EQ(view->journal().size(), journalBefore);
  };
  runInstall({launchEntry("app.exe"), launchEntry("other.exe")});
  EXPECT_TRUE(sawWalking);
  EXPECT_EQ(host.launches.size(), 2u);  // the walk went on past the nested tick
  EXPECT_FALSE(run->walking());
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
