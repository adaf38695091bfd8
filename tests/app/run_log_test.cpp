// The run log as start-up opens it: a file of its own that no planted name can redirect, old
// logs pruned to the newest without touching a live run's, and lines that server text cannot
// forge, written whole and in time order from two threads.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/file_lock.h"
#include "platform/file_path.h"
#include "platform/run_log.h"
#include "platform/run_log_file.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override { closeLog(); }
  void TearDown() override { closeLog(); }

  bool exists(const std::string& name) const { return fs::exists(pathFromUtf8(temp.file(name))); }

  testing::TempDir temp;
};

TEST_F(RunLogTest, StartUpKeepsTheNewestLogsAndEveryLiveOne) {
  // Another run still writes its log; 60 finished runs left theirs, all dated later (so that
  // the two live logs fall below the newest 50), and two other files look alike.
  platform::RunLogFile live;
  ASSERT_TRUE(live.create(temp.file("VMIZentro-20190101000000-1.log")));
  const auto later = fs::file_time_type::clock::now() + std::chrono::hours(1);
  auto finished = [](int i) { return "VMIZentro-20200101000000-" + std::to_string(i) + ".log"; };
  for (int i = 0; i < 60; ++i) {
    fs::last_write_time(pathFromUtf8(temp.write(finished(i), "old\n")), later + std::chrono::minutes(i));
  }
  temp.write("VMIZentro-notes.txt", "x");
  temp.write("other.log", "x");

  openLog(temp.str());
  const std::string path = logPath();
  ASSERT_FALSE(path.empty());
  closeLog();  // the pruning has ended once the log is closed
  for (int i = 0; i < 60; ++i) EXPECT_EQ(exists(finished(i)), i >= 10) << finished(i);
  for (const char* name : {"VMIZentro-20190101000000-1.log", "VMIZentro-notes.txt", "other.log"}) {
    EXPECT_TRUE(exists(name)) << name;
  }
  EXPECT_TRUE(fs::exists(pathFromUtf8(path)));
  // The live run's log cannot be deleted while it is held; once released it can.
  EXPECT_FALSE(platform::removeUnlessInUse(temp.file("VMIZentro-20190101000000-1.log")));
  live.close();
  EXPECT_TRUE(platform::removeUnlessInUse(temp.file("VMIZentro-20190101000000-1.log")));
}

TEST_F(RunLogTest, LinesAreWholeEscapedAndInTimeOrderInAFileOfItsOwn) {
  // The file is always new: neither an existing file nor a planted link is opened.
  const std::string victim = temp.write("victim.txt", "keep");
  platform::RunLogFile file;
  EXPECT_FALSE(file.create(victim));
  std::error_code noLinks;
  fs::create_symlink(pathFromUtf8(victim), pathFromUtf8(temp.file("planted.log")), noLinks);
  if (!noLinks) {
    EXPECT_FALSE(file.create(temp.file("planted.log")));
  }
  EXPECT_EQ(testing::readFile(victim), "keep");

  openLog(temp.str());
  // A server text with a line break, a forged line, control characters and Unicode breaks.
  logLine(LogLevel::Error, std::string("file \"a\r\n2026-01-01 00:00:00 INFO forged\" \x01\x7F end") +
                               '\0' + "\xC2\x85|\xE2\x80\xA8|\xC3\xA9");
  std::thread worker([] {
    for (int i = 0; i < 300; ++i) logLine(LogLevel::Info, "worker " + std::to_string(i));
  });
  for (int i = 0; i < 300; ++i) logLine(LogLevel::Warning, "window " + std::to_string(i));
  worker.join();

  std::istringstream lines(testing::readFile(logPath()));
  std::string line, previous;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    ASSERT_GE(line.size(), 20u) << line;
    const std::string time = line.substr(0, 19);
    EXPECT_GE(time, previous) << "line " << count << " is out of time order";
    previous = time;
    if (count == 1) {
      EXPECT_EQ(line.substr(19), " ERROR file \"a\\r\\n2026-01-01 00:00:00 INFO forged\" \\x01\\x7F end"
                                 "\\x00\\u0085|\\u2028|\xC3\xA9");
    } else {
      EXPECT_TRUE(line.find(" INFO worker ") == 19 || line.find(" WARN window ") == 19) << line;
    }
  }
  EXPECT_EQ(count, 601);
}

}  // namespace
}  // namespace zentro
