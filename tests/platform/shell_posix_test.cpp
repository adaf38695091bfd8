// Starting programs on Linux: what the desktop tools (xdg-open, pkexec) and the process calls
// answer; tests/platform/shell_test.cpp holds the contract both systems share.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/shell.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;
using zentro::testing::awaitRecord;
using zentro::testing::writeRecorder;

class ShellPosixTest : public ::testing::Test {
 protected:
  ShellPosixTest() {
    fs::create_directories(dir_.path() / "bin");
    env_.set("PATH", dir_.file("bin"));  // only the tools a test puts there
  }
  std::string tool(const std::string& name, const std::string& body) {
    std::string path = dir_.write("bin/" + name, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }

  zentro::testing::TempDir dir_;
  zentro::testing::ScopedEnv env_;
  const std::string program_ = writeRecorder(dir_.file("app/VMIClient.exe"));
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
