// Starting programs, one contract for both systems: the tests' recorder program
// (tests/support/recorder.h) tells how it was started; then what only Linux has (the desktop
// tools). tests/win32/shell_test.cpp holds what only Windows has.
#include "platform/shell.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;
using zentro::testing::awaitRecord;
using zentro::testing::writeRecorder;

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
  const struct {
    std::string commandLine;
    std::vector<std::string> args;
  } rows[] = {
      {"", {}},
      {" \t ", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"  a   b  ", {"a", "b"}},
      // The launch parameters: the URL with the token, a blank, the token, in one argument.
      {"\"http://tok@host/x tok\"", {"http://tok@host/x tok"}},
      {"a\"b c\"d e", {"ab cd", "e"}},
      {"\"\" x", {"", "x"}},
      {"\"a b", {"a b"}},
      {"/q:a /c:\"dasetup.exe /q /n\"", {"/q:a", "/c:dasetup.exe /q /n"}},
      // Backslashes: literal unless they precede a quote.
      {"C:\\dir\\file.exe a\\\\b", {"C:\\dir\\file.exe", "a\\\\b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\"b c", {"a\"b", "c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"\"C:\\dir\\\\\" x", {"C:\\dir\\", "x"}},
      // Two quotes inside quotes give one literal quote and quoting goes on.
      {"\"a\"\"b c\" d", {"a\"b c", "d"}},
      {"a\"\"b c", {"ab", "c"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(splitCommandLine(row.commandLine), row.args) << row.commandLine;
  }
}

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }

class ShellTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  // A folder name no legacy code page holds whole (Latin-1 letters and a Cyrillic one).
  const std::string work_ = dir_.file("Zentro Pr\xC3\xBC" "fung \xC3\x9F \xD0\x96");
  const std::string program_ = writeRecorder(dir_.file("app/VMIClient.exe"));
};

TEST_F(ShellTest, ShellExecuteStartsTheProgramWithSplitParametersInItsFolder) {
  ASSERT_TRUE(createFolder(work_));
  // The launch parameters: the URL with the token, a blank, the token, in one argument.
  EXPECT_GT(shellExecute("", program_, "\"http://tok@host/x tok\" M\xC3\xBCller|\xD0\x96", work_,
                         1),
            32);
  zentro::testing::Record record = awaitRecord(program_);
  ASSERT_TRUE(record.ran);
  EXPECT_EQ(record.args, "http://tok@host/x tok\nM\xC3\xBCller|\xD0\x96\n");
  EXPECT_EQ(record.folder, work_);

  // "open" starts a program the same way; a relative name is found in the working folder.
  const std::string opened = writeRecorder(dir_.file("app/Other.exe"));
  EXPECT_GT(shellExecute("open", "Other.exe", "a \"b c\"", dir_.file("app"), 1), 32);
  record = awaitRecord(opened);
  EXPECT_EQ(record.args, "a\nb c\n");
  EXPECT_EQ(record.folder, dir_.file("app"));

  EXPECT_EQ(shellExecute("", dir_.file("app/missing.exe"), "", dir_.str(), 1), 2);
  // A command line longer than the operating system takes is reported as that.
  EXPECT_THAT([&] { shellExecute("", program_, std::string(200000, 'x'), dir_.str(), 1); },
              ::testing::ThrowsMessage<RuntimeError>(std::string(kCommandLineTooLong)));
}

TEST_F(ShellTest, RunAndWaitReturnsTheExitCodeOnceTheProgramHasEnded) {
  writeRecorder(program_, 3010);
  EXPECT_EQ(runAndWait(inQuotes(program_) + " /q WIN|M\xC3\xBCller|\xD0\x96"),
            reportedExitCode(3010));
  EXPECT_EQ(reportedExitCode(3010), zentro::testing::kWindows ? 3010 : 3010 & 0xFF);
  // No waiting for the record: the program has written it before the call returned.
  EXPECT_TRUE(fs::exists(pathFromUtf8(program_ + ".cwd")));
  EXPECT_EQ(zentro::testing::readFile(program_ + ".args"), "/q\nWIN|M\xC3\xBCller|\xD0\x96\n");
  EXPECT_EQ(runAndWait(inQuotes(dir_.file("missing.exe")) + " /q"), -1);
  EXPECT_EQ(runAndWait(""), -1);
  EXPECT_EQ(runAndWait("   "), -1);

  const std::string started = writeRecorder(dir_.file("started.exe"));
  startProgram(inQuotes(started) + " x");
  EXPECT_EQ(awaitRecord(started).args, "x\n");
}

// What only Linux has: what the desktop tools (xdg-open, pkexec) and the process calls answer.
class ShellPosixTest : public ShellTest {
 protected:
  void SetUp() override {
    if (zentro::testing::kWindows) GTEST_SKIP() << "Linux's desktop tools";
    fs::create_directories(dir_.path() / "bin");
    env_.set("PATH", dir_.file("bin"));  // only the tools a test puts there
  }
  std::string tool(const std::string& name, const std::string& body) {
    std::string path = dir_.write("bin/" + name, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }

  zentro::testing::ScopedEnv env_;
  const std::string garbage_ = dir_.write("app/broken.exe", "MZ\x90 not something Linux can run");
  const std::string readme_ = dir_.write("readme.txt", "text");
};

TEST_F(ShellPosixTest, ReportsTheShellsFailureCodes) {
  fs::permissions(garbage_, fs::perms::owner_all);
  EXPECT_EQ(shellExecute("", dir_.file("nofolder/VMIClient.exe"), "", dir_.str(), 1), 3);
  EXPECT_EQ(shellExecute("", program_, "", dir_.file("nofolder"), 1), 3);
  EXPECT_EQ(shellExecute("", garbage_, "", dir_.str(), 1), 11);
  EXPECT_EQ(shellExecute("", "", "", dir_.str(), 1), 2);
  // Elevation without pkexec is refused; a document with nothing to open it, or a verb
  // nothing answers, has no association.
  EXPECT_EQ(shellExecute("runas", program_, "", dir_.str(), 1), 5);
  EXPECT_EQ(shellExecute("", readme_, "", dir_.str(), 1), 31);
  EXPECT_EQ(shellExecute("print", program_, "", dir_.str(), 1), 31);

  // What elevation cannot cure gets the plain start's answer; this pkexec would "start" it.
  tool("pkexec", "exit 0\n");
  EXPECT_EQ(shellExecute("runas", dir_.file("app/missing.exe"), "", dir_.str(), 1), 2);
  EXPECT_EQ(shellExecute("runas", garbage_, "", dir_.str(), 1), 11);
  // pkexec giving up before the program runs (dismissed; refused or no agent) is no start.
  for (const char* status : {"126", "127"}) {
    tool("pkexec", std::string("exit ") + status + "\n");
    EXPECT_EQ(shellExecute("runas", program_, "", dir_.str(), 1), 5) << status;
  }
  // Neither is an opener that finds no association for the document.
  tool("xdg-open", "exit 3\n");
  EXPECT_EQ(shellExecute("", readme_, "", dir_.str(), 1), 31);
  EXPECT_EQ(shellExecute("runas", readme_, "", dir_.str(), 1), 31);
}

TEST_F(ShellPosixTest, DocumentsAndElevationGoThroughTheDesktopTools) {
  env_.set("PATH", dir_.file("bin") + ":/usr/bin:/bin");  // the recorder's tools after ours
  const std::string opener = writeRecorder(dir_.file("bin/xdg-open"));
  tool("pkexec", "exec \"$@\"\n");  // hands over to the program by exec
  EXPECT_GT(shellExecute("", readme_, "ignored", dir_.str(), 1), 32);
  zentro::testing::Record record = awaitRecord(opener);
  EXPECT_EQ(record.args, readme_ + "\n");
  EXPECT_EQ(record.folder, dir_.str());

  EXPECT_GT(shellExecute("runas", program_, "\"u t\"", dir_.str(), 1), 32);
  record = awaitRecord(program_);
  EXPECT_EQ(record.args, "u t\n");
  EXPECT_EQ(record.folder, dir_.str());
}

TEST_F(ShellPosixTest, RunAndWaitReportsSignalsAndSearchesThePath) {
  env_.set("PATH", "/usr/bin:/bin");
  EXPECT_EQ(runAndWait("/bin/sh -c \"kill -9 $$\""), 128 + 9);
  EXPECT_EQ(runAndWait("sh -c \"exit 3\""), 3);
  EXPECT_EQ(runAndWait("no-such-program-anywhere-on-path"), -1);
}

}  // namespace
}  // namespace zentro::platform
