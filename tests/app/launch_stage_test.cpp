#include "app/launch_stage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "app/launch_texts.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "platform/runtime_error.h"
#include "tests/remote/remote_support.h"
#include "tests/support/recorder.h"
#include "tests/support/scripted_view.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
namespace texts = launch_texts;
using platform::pathFromUtf8;

// --- ShellExecuteErrorText --------------------------------------------------------------------

TEST(ShellErrorText, CodeThenMeaning) {
  // A handful of rows: a known code, the longest text, both ends of the known range and codes
  // beside it.
  const std::pair<long, const char*> rows[] = {
      {2, "2 : File Not Found"},
      {31, "31 : No Application Associated With The Given Filename Extension"},
      {32, "32 : DLL Not Found"},
      {0, "0 : (Unknown Error Code)"},
      {25, "25 : (Unknown Error Code)"},
      {33, "33 : (Unknown Error Code)"},
      {-1, "-1 : (Unknown Error Code)"}};
  for (const auto& [code, text] : rows) EXPECT_EQ(ShellExecuteErrorText(code), text);
}

TEST(LoginToken, OnlyATokenWithoutQuotesBlanksOrControlsIsUsable) {
  EXPECT_TRUE(isUsableLoginToken("TOK-42_x.y=z"));
  for (const char* bad : {"", " ", "a b", "a\"b", "a'b", "a\tb", "a\rb", "a\nb", "a\x7f"}) {
    EXPECT_FALSE(isUsableLoginToken(bad)) << bad;
  }
  EXPECT_FALSE(isUsableLoginToken(std::string("a\0b", 3)));
}

// --- the out-of-date warning ------------------------------------------------------------------

TEST(OutOfDate, TextFollowsCountAndSetting) {
  const std::string start =
      "WARNING: You are not using the latest version of this application.  There are ";
  const std::string notify = "\r\rPlease notify your System Administrator.";
  const struct {
    std::string warnIfUpdates;
    long count;
    bool admin;
    std::string expected;  // "" = no warning
  } cases[] = {{"W", 1, false, start + "1 file needing an update on this machine/server."},
               {"A", 1, false, start + "1 file needing an update on this machine/server." + notify},
               {"W", 2, false, start + "2 files needing an update on this machine/server."},
               {"A", 1500, false,
                start + "1,500 files needing an update on this machine/server." + notify},
               {"w", 3, false, ""}, {"a", 3, false, ""}, {"", 3, false, ""}, {"W ", 3, false, ""},
               {"W", 0, false, ""}, {"A", 5, true, ""}};
  for (const auto& c : cases) {
    LaunchInputs in;
    in.warnIfUpdates = c.warnIfUpdates;
    in.updateCount = c.count;
    in.isUpdateAdmin = c.admin;
    EXPECT_EQ(outOfDateWarning(in), c.expected) << c.warnIfUpdates << " " << c.count;
  }
}

// --- the three attempts, the temporary copy and a real start ----------------------------------

struct ShellCall {
  std::string verb, file, parameters, folder;
  int show;
  bool operator==(const ShellCall&) const = default;
};
void PrintTo(const ShellCall& c, std::ostream* os) {
  *os << c.verb << " " << c.file << " " << c.parameters << " in " << c.folder << " " << c.show;
}

// The one argument of every start: the business-object URL and the token.
const std::string kArgument = "\"http://TOK-42@127.0.0.1:8080/cvbo TOK-42\"";

constexpr int kRaise = -9999;  // a shell call that raises instead of answering

// Answers the stage's shell calls from `results` in turn and records them in `calls`.
ShellExecuteFn scriptedShell(std::vector<int> results, std::vector<ShellCall>& calls) {
  return [results, &calls](const std::string& verb, const std::string& file,
                           const std::string& params, const std::string& folder, int show) {
    calls.push_back({verb, file, params, folder, show});
    const int r = results.at(calls.size() - 1);
    if (r == kRaise) throw std::runtime_error("the shell cannot be called");
    return r;
  };
}

// A deployment on disk: its program (the recorder, so that a real start can be seen) and more
// files in the product folder, a common folder to start in, and a temp folder for copies.
class LaunchStageTest : public ::testing::Test {
 protected:
  LaunchStageTest() {
    env.setTempFolder(tmp.str());
    program = target = writeRecorder(product.file("app.exe"));
    product.write(".hidden.dat", "hidden");
    product.write("readonly.dll", "ro");
    fs::permissions(product.path() / "readonly.dll", fs::perms::owner_read | fs::perms::group_read |
                                                        fs::perms::others_read);
    product.write("sub/inner.dll", "inner");
    in.busObjUrl = "http://TOK-42@127.0.0.1:8080/cvbo";
    in.loginToken = "TOK-42";
    in.commonFolder = common.str();
    in.launchFileName = "app.exe";
    in.programFolders = {common.str(), product.str()};
  }
  TempDir tmp, product, common;
  ScopedEnv env;
  ScriptedView view;
  LaunchInputs in;
  std::string program, target;
};

TEST_F(LaunchStageTest, ALaunchRecordOutsideTheDeploymentsFoldersStartsNothing) {
  const std::pair<std::string, std::string> refused[] = {
      {"../../tmp/x.sh", product.str() + "/../../tmp/x.sh"},  // climbs out of its folder
      {"app.exe", "/app.exe"},                                // unknown InstallLocation
      {"app.exe", tmp.file("app.exe")},
      {"sub\\app.exe", product.str() + "/sub\\app.exe"}};
  for (const auto& [file, path] : refused) {
    in.launchFileName = file;
    target = path;
    std::vector<ShellCall> calls;
    const RuntimeError e =
        raised([&] { runLaunchStage(view, in, target, scriptedShell({42}, calls)); });
    EXPECT_EQ(e.number(), texts::kLaunchRefusedNumber) << file;
    EXPECT_EQ(e.description(), texts::kLaunchRefused);
    EXPECT_TRUE(calls.empty()) << file;
  }
}

TEST_F(LaunchStageTest, EachFailureLeadsToTheNextAttemptAndAllThreeRaiseWithTheirLines) {
  const std::string a1 = "Attempt 1 - ShellExecute() Returned Code ";
  const std::string a2 = "Attempt 2 - ShellExecute(runas) Returned Code ";
  const std::string a3 = "Attempt 3 - ShellExecute(highestAvailable) Returned Code ";
  const struct {
    std::vector<int> codes;
    long number;  // 0: started, no error
    std::string description;
  } cases[] = {
      {{42}, 0, ""},      // the first success starts once
      {{32, 33}, 0, ""},  // 32 is still a failure
      // A last code of 0 is numbered as running out of resources.
      {{5, 31, 0}, texts::kOutOfResourcesNumber,
       a1 + ShellExecuteErrorText(5) + "\r" + a2 + ShellExecuteErrorText(31) + "\r" + a3 +
           "0 : (Unknown Error Code)\r"},
      // A raising call is recorded under its attempt and leaves the last code as it was.
      {{3, kRaise, 11}, 11,
       a1 + "3 : Path Not Found\r" + a2 + "3 : Path Not Found\r" +
           "   Error: the shell cannot be called\r" + a3 + "11 : Bad Format\r"}};
  for (const auto& c : cases) {
    std::vector<ShellCall> calls;
    try {
      runLaunchStage(view, in, target, scriptedShell(c.codes, calls));
      EXPECT_EQ(c.number, 0) << "no error raised";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), c.number);
      EXPECT_EQ(e.source(), platform::programBaseName());
      EXPECT_EQ(e.description(), c.description);
    }
    const char* verbs[] = {"", "runas", "open"};
    ASSERT_EQ(calls.size(), c.codes.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
      // In the common folder, not the program's own.
      EXPECT_EQ(calls[i], (ShellCall{verbs[i], program, kArgument, common.str(), 1}));
    }
  }
  EXPECT_EQ(view.messageBoxCount(), 0);
}

TEST_F(LaunchStageTest, SecondCopyInTheSameSecondCountsOn) {
  for (int tries = 0; tries < 5; ++tries) {
    // A fresh temp folder per try: an earlier try's copies may carry this second's stamp.
    const std::string folder = tmp.file("try" + std::to_string(tries));
    fs::create_directory(pathFromUtf8(folder));
    env.setTempFolder(folder);
    const std::string before = platform::localTimeStamp();
    const std::string first = CopyToTempFolder(program);
    const std::string second = CopyToTempFolder(program);
    if (platform::localTimeStamp() != before) continue;  // a second boundary passed: again
    const std::string prefix = platform::joinPath(folder, "CVTEMP_" + before + "_");
    EXPECT_EQ(first, prefix + "00000" + platform::pathSeparator());
    EXPECT_EQ(second, prefix + "00001" + platform::pathSeparator());
    return;
  }
  FAIL() << "never two copies within one second";
}

TEST_F(LaunchStageTest, GivesUpCopyingWhenNoFolderCanBeMade) {
  env.setTempFolder(tmp.file("missing/deeper"));
  EXPECT_EQ(CopyToTempFolder(program), "");

  // The launch then starts the program in place, in the common folder.
  in.runFromTemp = true;
  std::vector<ShellCall> calls;
  runLaunchStage(view, in, target, scriptedShell({42}, calls));
  EXPECT_EQ(calls.at(0), (ShellCall{"", program, kArgument, common.str(), 1}));
}

// The warning first; then the program runs from its copy, which holds the program folder's
// files, hidden and read-only ones included, but not its subfolders, in a folder of its own in
// the temp folder (the copy folder's name is SecondCopyInTheSameSecondCountsOn's).
TEST_F(LaunchStageTest, WarningThenTheProgramRunsFromItsCopyWithOneArgument) {
  in.warnIfUpdates = "A";
  in.updateCount = 2;
  in.runFromTemp = true;
  runLaunchStage(view, in, target);
  ASSERT_EQ(view.messageBoxCount(), 1);
  EXPECT_TRUE(view.journalHas("msgbox[Ok,None,'']: " + outOfDateWarning(in))) << view.journalText();
  ASSERT_NE(target, program);
  const fs::path copy = pathFromUtf8(target).parent_path();
  EXPECT_TRUE(fs::equivalent(copy.parent_path(), tmp.path())) << target;
  EXPECT_EQ(readFile(target), readFile(program));
  EXPECT_EQ(readFile(platform::utf8FromPath(copy / ".hidden.dat")), "hidden");
  EXPECT_EQ(readFile(platform::utf8FromPath(copy / "readonly.dll")), "ro");
  EXPECT_FALSE(fs::exists(copy / "sub"));
  const Record record = awaitRecord(target);
  EXPECT_EQ(record.args, "http://TOK-42@127.0.0.1:8080/cvbo TOK-42\n");
  EXPECT_TRUE(fs::equivalent(pathFromUtf8(record.folder), copy)) << record.folder;
  EXPECT_FALSE(fs::exists(pathFromUtf8(program + ".args")));
}

}  // namespace
}  // namespace zentro::testing
