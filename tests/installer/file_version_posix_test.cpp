// Version reading meets files that are not regular files (Linux only: named pipes).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "installer/pe_version.h"
#include "installer/version_compare.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

// The version of `path` read on another thread; "" and a failure when the read blocks.
std::string versionWithoutBlocking(const std::string& path, const std::string& pipe) {
  std::future<std::string> version = std::async(std::launch::async, [&] {
    return readPeFileVersion(path) ? std::string("a PE version") : GetFileVersion(path);
  });
  // A watchdog, so that a regression fails instead of hanging the suite: a writer that
  // comes and goes releases a reader stuck in the pipe.
  if (version.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "reading the version of " << path << " blocked";
    const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  return version.get();
}

TEST(FileVersionSpecialFiles, NamedPipeIsNoVersionAndNeverBlocks) {
  // Opening a pipe for reading waits for a writer, which never comes: the walk would hang.
  zentro::testing::TempDir dir;
  const std::string pipe = dir.file("component.dll");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(versionWithoutBlocking(pipe, pipe), "");

  // The side file still speaks for it.
  dir.write("component.dll.ver", "1.2.3.4\n");
  EXPECT_EQ(GetFileVersion(pipe), "1.2.3.4");

  // A pipe planted as the side file is no version either.
  const std::string sidePipe = dir.file("other.dll.ver");
  ASSERT_EQ(::mkfifo(sidePipe.c_str(), 0600), 0);
  EXPECT_EQ(versionWithoutBlocking(dir.file("other.dll"), sidePipe), "");
}

}  // namespace
}  // namespace zentro
