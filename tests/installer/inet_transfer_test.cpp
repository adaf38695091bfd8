#include "installer/inet_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/installer/install_world.h"
#include "tests/support/test_system.h"

namespace zentro::testing {
namespace {

// The transfer on its own: one GET against the reference service, its state handler given by
// the test, the window's messages pumped until it has run.
class TransferTest : public InstallWorld {
 protected:
  int fetch(const std::string& name, const std::function<void()>& onComplete,
            InetTransfer* other = nullptr) {
    InetTransfer& t = other ? *other : transfer;
    int state = 0;
    t.setStateHandler([&](int s) {
      state = s;
      if (s == InetTransfer::kResponseCompleted) onComplete();
    });
    EXPECT_TRUE(t.execute(url(name), "GET", ""));
    while (t.stillExecuting()) {
      view->processEvents();
      t.waitForWorker(std::chrono::milliseconds(10));
    }
    return state;
  }
  // `name` is sent 16 bytes at a time, 20 ms apart.
  void trickle(const std::string& name) {
    serve(name, noise(1 << 20));
    useProxy().editAnswer(name, [](const HttpRequest&, HttpReply& r) { r.trickleMs = 20; });
  }
  // Every chunk up to the end, and two reads past it.
  std::string readAll() {
    std::string body;
    for (std::string chunk = transfer.getChunk(texts::kChunkSize); !chunk.empty();
         chunk = transfer.getChunk(texts::kChunkSize)) {
      body += chunk;
    }
    EXPECT_EQ(transfer.getChunk(texts::kChunkSize), "");
    return body;
  }

  std::string spoolFolder = folders.tempFolder;
  InetTransfer transfer{*view, spoolFolder};
};

TEST_F(TransferTest, BodyKeptUnderAnotherNameIsReadThereAndDroppedUnlessMovedOn) {
  const std::string body = noise(5000);
  serve("a.bin", body);
  // A whole number of chunks: the end shows only as an empty read, which must not start over.
  const std::string whole = noise(2 * texts::kChunkSize);
  serve("b.bin", whole);
  const std::string part = dir.file("temp/a.bin.part");
  dir.write("temp/a.bin.part", "left over from an earlier run");

  // Taken over, read to the end, left where it is: gone with the handler. (Moved on by the
  // handler, it stays: the install run's tests place every download that way.)
  EXPECT_FALSE(transfer.keepBodyAs(part));  // nothing has been received yet
  int state = fetch("a.bin", [&] {
    EXPECT_TRUE(transfer.keepBodyAs(part));
    std::vector<std::string> files = leftovers(spoolFolder);
    std::erase_if(files, [](const std::string& f) { return f.ends_with(".lock"); });
    EXPECT_EQ(files, std::vector<std::string>{"a.bin.part"});
    EXPECT_EQ(readAll(), body);
  });
  EXPECT_EQ(state, InetTransfer::kResponseCompleted);
  EXPECT_TRUE(leftovers(spoolFolder).empty());
  EXPECT_FALSE(transfer.keepBodyAs(part));  // the handler has returned

  // Not taken over once reading has begun.
  fetch("b.bin", [&] {
    std::string first = transfer.getChunk(texts::kChunkSize);
    EXPECT_FALSE(transfer.keepBodyAs(dir.file("temp/b.bin.part")));
    EXPECT_EQ(first + readAll(), whole);
    EXPECT_FALSE(transfer.keepBodyAs(dir.file("temp/b.bin.part")));
  });
  EXPECT_TRUE(leftovers(spoolFolder).empty());  // b.bin's spool is gone
}

TEST_F(TransferTest, ATrickleFailsAsAStallAfterTheRetries) {
  serve("fast.bin", noise(100000));
  trickle("slow.bin");
  InetTransfer limited(*view, spoolFolder, platform::makeHttpClient,
                       TransferLimits{1024, std::chrono::milliseconds(300)});
  EXPECT_EQ(fetch("slow.bin", [] {}, &limited), InetTransfer::kRequestFailed);
  EXPECT_EQ(hits("slow.bin"), InetTransfer::kAttempts);
  EXPECT_EQ(limited.failureText(), "stalled: fewer than 1024 bytes in 300 ms");
  EXPECT_EQ(fetch("fast.bin", [] {}, &limited), InetTransfer::kResponseCompleted);
  EXPECT_TRUE(leftovers(spoolFolder).empty());
}

TEST_F(TransferTest, SpoolsOfEndedRunsAreRemovedAndALiveOneStays) {
  dir.write("temp/~zentro-spool-0123456789abcdef.tmp", "left by a launcher killed mid-download");
  dir.write("temp/~zentro-spool-0123456789abcdef.tmp.lock", "its lock, held by no one now");
  dir.write("temp/other.txt", "not a spool");
  trickle("slow.bin");
  ASSERT_TRUE(transfer.execute(url("slow.bin"), "GET", ""));
  // Wait (bounded) for the live transfer's spool to appear.
  for (int i = 0; i < 1000 && leftovers(spoolFolder).size() < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<std::string> before = leftovers(spoolFolder);
  ASSERT_EQ(before.size(), 5u);
  removeStaleSpools(spoolFolder);
  // All but the ended run's spool and lock stay: the live spool, its lock and the other file.
  std::erase_if(before, [](const std::string& f) { return f.starts_with("~zentro-spool-0123"); });
  std::vector<std::string> after = leftovers(spoolFolder);
  std::ranges::sort(before);
  std::ranges::sort(after);
  EXPECT_EQ(after, before);
  transfer.cancel();
}

TEST_F(TransferTest, ACancelledRequestReportsNothingAndTheNextOneRuns) {
  // Answered late once, so that the first request is cancelled while it runs.
  serve("slow.dll", noise(1000), {refservice::Fault::Kind::Delay, 200, 1});
  int states = 0;
  transfer.setStateHandler([&](int) { ++states; });
  ASSERT_TRUE(transfer.execute(url("slow.dll"), "GET", ""));
  EXPECT_FALSE(transfer.execute(url("slow.dll"), "GET", ""));  // one at a time
  transfer.cancel();
  EXPECT_FALSE(transfer.stillExecuting());
  view->processEvents();
  EXPECT_EQ(states, 0);
  // The control is usable again and reports the next request.
  EXPECT_EQ(fetch("slow.dll", [&] { EXPECT_EQ(readAll(), noise(1000)); }),
            InetTransfer::kResponseCompleted);
  EXPECT_EQ(transfer.responseCode(), 200);
  EXPECT_NE(transfer.getHeader().find("200"), std::string::npos);
  EXPECT_TRUE(leftovers(spoolFolder).empty());  // spool removed
}

// The download handling when the body cannot be taken over (the transfer spools on another
// volume than the temp folder): it writes the copy itself, with the same progress. The placing
// then crosses volumes as well, still in one step: the copy is staged beside the target.
TEST_F(TransferTest, BodySpooledOnAnotherVolumeIsCopiedAndPlaced) {
  const auto other = otherFileSystem(folders.tempFolder);
  if (!other) GTEST_SKIP() << "no second file system";
  ScopedEnv env;
  env.setTempFolder(*other);
  const TempDir elsewhere;
  folders.tempFolder = elsewhere.str();

  serve("c.dll", noise(5000));
  installed(product("c.dll"), "old", "1.0.0.0");
  handleDownload("c.dll", "c.dll", spoolFolder);
  EXPECT_FALSE(session.downloadFailed);
  EXPECT_EQ(readFile(product("c.dll")), noise(5000));
  EXPECT_EQ(view->labelHistory(Label::Bytes),
            (std::vector<std::string>{"2k of 5k", "4k of 5k", "5k of 5k"}));
  EXPECT_TRUE(leftovers(spoolFolder).empty());
  EXPECT_TRUE(leftovers(folders.tempFolder).empty());
  std::vector<std::string> placed = leftovers(folders.productFolder);
  std::sort(placed.begin(), placed.end());
  EXPECT_EQ(placed, (std::vector<std::string>{"c.dll", "c.dll.ver"}));  // nothing staged is left
}

}  // namespace
}  // namespace zentro::testing
