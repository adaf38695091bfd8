// Starting programs through the real shell and process calls, with the probe recording how it
// was started.
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/support/temp_dir.h"
#include "tests/win32/win32_test_support.h"

namespace zentro::platform {
namespace {

constexpr int kShowNormal = 1;

// The probe's record (raw command line, current folder); waits for it to appear, since a
// shell start does not wait for the program.
std::vector<std::string> awaitRecord(const std::string& file) {
  for (int i = 0; i < 400; ++i) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() >= 2) return lines;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return {};
}

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }

class ShellWinTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  std::string probe_ = zentro::testing::probePath();
};

TEST_F(ShellWinTest, ShellExecuteStartsTheProgramWithItsParametersAndFolder) {
  const std::string record = dir_.file("record.txt");
  const std::string parameters =
      "--record=" + inQuotes(record) + " \"http://tok@host/x TOKEN\"";
  const int code = shellExecute("", probe_, parameters, dir_.str(), kShowNormal);
  EXPECT_GT(code, 32);
  std::vector<std::string> lines = awaitRecord(record);
  ASSERT_EQ(lines.size(), 2u);
  std::vector<std::string> args = splitCommandLine(lines[0]);
  ASSERT_EQ(args.size(), 3u) << lines[0];
  EXPECT_EQ(args[1], "--record=" + record);
  EXPECT_EQ(args[2], "http://tok@host/x TOKEN");
  EXPECT_EQ(lines[1], dir_.str());
}

TEST_F(ShellWinTest, VerbsOpenAndNoneBothStart) {
  const std::string record = dir_.file("open.txt");
  EXPECT_GT(shellExecute("open", probe_, "--record=" + inQuotes(record), dir_.str(), kShowNormal), 32);
  EXPECT_EQ(awaitRecord(record).size(), 2u);
}

TEST_F(ShellWinTest, FailuresReturnTheShellsCodes) {
  EXPECT_EQ(shellExecute("", dir_.file("missing.exe"), "", dir_.str(), kShowNormal), 2);
  const int noFolder =
      shellExecute("", dir_.file("no\\such\\folder\\app.exe"), "", dir_.str(), kShowNormal);
  EXPECT_TRUE(noFolder == 2 || noFolder == 3) << noFolder;
  EXPECT_LE(noFolder, 32);
}

TEST_F(ShellWinTest, RunAndWaitReturnsTheWholeExitCode) {
  EXPECT_EQ(runAndWait(inQuotes(probe_) + " --exit=3010"), 3010);
  EXPECT_EQ(reportedExitCode(3010), 3010);
  EXPECT_EQ(runAndWait(inQuotes(probe_)), 0);
  EXPECT_EQ(runAndWait(inQuotes(dir_.file("missing.exe")) + " /q"), -1);
  EXPECT_EQ(runAndWait(""), -1);
}

TEST_F(ShellWinTest, RunAndWaitWaitsForTheProgram) {
  const std::string record = dir_.file("waited.txt");
  ASSERT_EQ(runAndWait(inQuotes(probe_) + " --record=" + inQuotes(record)), 0);
  // No polling: the file is complete once the call has returned.
  std::ifstream in(record);
  std::string first;
  ASSERT_TRUE(std::getline(in, first));
  EXPECT_NE(first.find("--record="), std::string::npos);
}

TEST_F(ShellWinTest, StartProgramDoesNotWait) {
  const std::string record = dir_.file("started.txt");
  startProgram(inQuotes(probe_) + " --record=" + inQuotes(record));
  EXPECT_EQ(awaitRecord(record).size(), 2u);
}

}  // namespace
}  // namespace zentro::platform
