#include "platform/shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/runtime_error.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;
using zentro::testing::readFile;

struct SplitCase {
  const char* name;
  std::string commandLine;
  std::vector<std::string> args;
};

class SplitCommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, FollowsTheCRuntimeRules) {
  EXPECT_EQ(splitCommandLine(GetParam().commandLine), GetParam().args)
      << GetParam().commandLine;
}

using Args = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommandLine,
    ::testing::Values(
        SplitCase{"Empty", "", Args{}},
        SplitCase{"BlanksOnly", " \t ", Args{}},
        SplitCase{"Plain", "a b\tc", Args{"a", "b", "c"}},
        SplitCase{"RepeatedBlanks", "  a   b  ", Args{"a", "b"}},
        // The launch parameters: the URL with the token, a blank, the token, in one argument.
        SplitCase{"LaunchParameters", "\"http://tok@host/x tok\"", Args{"http://tok@host/x tok"}},
        SplitCase{"QuotesInsideAWord", "a\"b c\"d e", Args{"ab cd", "e"}},
        SplitCase{"EmptyQuoted", "\"\" x", Args{"", "x"}},
        SplitCase{"UnclosedQuote", "\"a b", Args{"a b"}},
        SplitCase{"InstallerSwitches", "/q:a /c:\"dasetup.exe /q /n\"",
                  Args{"/q:a", "/c:dasetup.exe /q /n"}},
        // Backslashes: literal unless they precede a quote.
        SplitCase{"LiteralBackslashes", "C:\\dir\\file.exe a\\\\b",
                  Args{"C:\\dir\\file.exe", "a\\\\b"}},
        SplitCase{"EvenBackslashesQuote", "a\\\\\"b c\"", Args{"a\\b c"}},
        SplitCase{"OddBackslashesQuote", "a\\\"b c", Args{"a\"b", "c"}},
        SplitCase{"ThreeBackslashesQuote", "a\\\\\\\"b", Args{"a\\\"b"}},
        SplitCase{"QuotedTrailingBackslash", "\"C:\\dir\\\\\" x", Args{"C:\\dir\\", "x"}},
        // Two quotes inside quotes give one literal quote and quoting goes on.
        SplitCase{"DoubledQuoteInsideQuotes", "\"a\"\"b c\" d", Args{"a\"b c", "d"}},
        SplitCase{"DoubledQuoteOutsideQuotes", "a\"\"b c", Args{"ab", "c"}}),
    [](const ::testing::TestParamInfo<SplitCase>& p) { return p.param.name; });

class ShellExecuteTest : public ::testing::Test {
 protected:
  std::string script(const std::string& relative, const std::string& body) {
    std::string path = dir_.write(relative, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  // A PATH holding only the tools a test puts there.
  std::string isolatePath() {
    std::string bin = (dir_.path() / "bin").string();
    fs::create_directories(bin);
    env_.set("PATH", bin);
    return bin;
  }
  static bool waitFor(const std::string& path) {
    for (int i = 0; i < 1000 && !fs::exists(path); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(path);
  }

  zentro::testing::TempDir dir_;
  zentro::testing::ScopedEnv env_;
};

// Records the working folder and each argument, one per line, in `record`, then renames it into
// place so a reader never sees half of it.
std::string recorderBody(const std::string& record) {
  return "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" + record +
         ".part\"\n/bin/mv \"" + record + ".part\" \"" + record + "\"\n";
}

TEST_F(ShellExecuteTest, StartsAProgramWithSplitParametersInItsFolder) {
  std::string record = dir_.file("record.txt");
  fs::create_directories(dir_.path() / "work");
  std::string program = script("app/VMIClient.exe", recorderBody(record));
  std::string work = (dir_.path() / "work").string();

  int code = shellExecute("", program, "\"http://tok@host/x tok\"", work, 1);
  EXPECT_GT(code, 32);
  ASSERT_TRUE(waitFor(record));
  EXPECT_EQ(readFile(record), work + "\nhttp://tok@host/x tok\n");

  // A relative file is found in the working folder; "open" starts it the same way.
  fs::remove(record);
  EXPECT_GT(shellExecute("open", "VMIClient.exe", "a \"b c\"", dir_.file("app"), 1), 32);
  ASSERT_TRUE(waitFor(record));
  EXPECT_EQ(readFile(record), dir_.file("app") + "\na\nb c\n");
}

TEST_F(ShellExecuteTest, ReportsTheShellsFailureCodes) {
  std::string program = script("app/VMIClient.exe", "exit 0\n");
  EXPECT_EQ(shellExecute("", dir_.file("app/missing.exe"), "", dir_.str(), 1), 2);
  EXPECT_EQ(shellExecute("", dir_.file("nofolder/VMIClient.exe"), "", dir_.str(), 1), 3);
  EXPECT_EQ(shellExecute("", program, "", dir_.file("nofolder"), 1), 3);
  EXPECT_EQ(shellExecute("", "", "", dir_.str(), 1), 2);

  std::string garbage = dir_.write("app/broken.exe", "MZ\x90 not something Linux can run");
  fs::permissions(garbage, fs::perms::owner_all);
  EXPECT_EQ(shellExecute("", garbage, "", dir_.str(), 1), 11);

  isolatePath();
  // Elevation without pkexec is refused.
  EXPECT_EQ(shellExecute("runas", program, "", dir_.str(), 1), 5);
  // A document with nothing to open it.
  const std::string readme = dir_.write("readme.txt", "text");
  EXPECT_EQ(shellExecute("", readme, "", dir_.str(), 1), 31);
  EXPECT_EQ(shellExecute("print", program, "", dir_.str(), 1), 31);

  // What elevation cannot cure gets the plain start's answer; this pkexec would "start" it.
  script("bin/pkexec", "exit 0\n");
  EXPECT_EQ(shellExecute("runas", dir_.file("app/missing.exe"), "", dir_.str(), 1), 2);
  EXPECT_EQ(shellExecute("runas", garbage, "", dir_.str(), 1), 11);
  // pkexec giving up before the program runs (dismissed; refused or no agent) is no start.
  for (const char* status : {"126", "127"}) {
    script("bin/pkexec", std::string("exit ") + status + "\n");
    EXPECT_EQ(shellExecute("runas", program, "", dir_.str(), 1), 5) << status;
  }
  // Neither is an opener that finds no association for the document.
  script("bin/xdg-open", "exit 3\n");
  EXPECT_EQ(shellExecute("", readme, "", dir_.str(), 1), 31);
  EXPECT_EQ(shellExecute("runas", readme, "", dir_.str(), 1), 31);

  // A command line longer than the operating system takes is reported as that.
  try {
    shellExecute("", program, std::string(200000, 'x'), dir_.str(), 1);
    ADD_FAILURE() << "a start was reported";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.description(), kCommandLineTooLong);
  }
}

TEST_F(ShellExecuteTest, DocumentsAndElevationGoThroughTheDesktopTools) {
  std::string bin = isolatePath();
  std::string opened = dir_.file("opened.txt");
  std::string elevated = dir_.file("elevated.txt");
  script("bin/xdg-open", recorderBody(opened));
  // pkexec hands over to the program by exec.
  script("bin/pkexec", "exec \"$@\"\n");

  std::string document = dir_.write("notes.txt", "text");
  EXPECT_GT(shellExecute("", document, "ignored", dir_.str(), 1), 32);
  ASSERT_TRUE(waitFor(opened));
  EXPECT_EQ(readFile(opened), dir_.str() + "\n" + document + "\n");

  std::string program = script("app/VMIClient.exe", recorderBody(elevated));
  EXPECT_GT(shellExecute("runas", program, "\"u t\"", dir_.str(), 1), 32);
  ASSERT_TRUE(waitFor(elevated));
  EXPECT_EQ(readFile(elevated), dir_.str() + "\nu t\n");
}

TEST(RunAndWaitTest, ReturnsTheExitCode) {
  zentro::testing::TempDir dir;
  EXPECT_EQ(runAndWait("/bin/sh -c \"exit 42\""), 42);
  EXPECT_EQ(runAndWait("/bin/sh -c \"kill -9 $$\""), 128 + 9);
  EXPECT_EQ(runAndWait(dir.file("missing")), -1);
  EXPECT_EQ(runAndWait("no-such-program-anywhere-on-path"), -1);
  EXPECT_EQ(runAndWait("   "), -1);
  // Found on PATH, as a plain start finds programs.
  EXPECT_EQ(runAndWait("sh -c \"exit 3\""), 3);
}

}  // namespace
}  // namespace zentro::platform
