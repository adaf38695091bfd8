// Placing a file on a volume that has no room for it: the drives tests/win32/volumes.sh maps
// (S: and R:, each a file system of its own, R: of 1 MiB) around this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "installer/install_file.h"
#include "platform/file_path.h"
#include "tests/support/temp_dir.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;

std::string scratchFolder(const std::string& drive) {
  const std::string folder = drive + "\\zentro-" + std::to_string(std::random_device()());
  fs::create_directories(pathFromUtf8(folder));
  return folder;
}

TEST(PlacingAcrossVolumes, AFailedCopyLeavesTheTargetWholeAndNothingStaged) {
  if (GetDriveTypeW(L"S:\\") == DRIVE_NO_ROOT_DIR || GetDriveTypeW(L"R:\\") == DRIVE_NO_ROOT_DIR) {
    GTEST_SKIP() << "drives S: and R: are not mapped (run through ctest's volumes fixture)";
  }
  const std::string downloads = scratchFolder("S:");
  const std::string small = scratchFolder("R:");
  const std::string target = small + "\\app.dll";
  std::ofstream(pathFromUtf8(target), std::ios::binary) << std::string(100000, 'o');
  std::ofstream(pathFromUtf8(downloads + "\\app.dll"), std::ios::binary)
      << std::string(2u << 20, 'n');
  bool blocked = false;
  InstallFile(downloads + "\\app.dll", kInstallReplace, target, "1", small, blocked);
  EXPECT_TRUE(blocked);
  EXPECT_TRUE(readFile(target) == std::string(100000, 'o')) << "the old file is whole";
  EXPECT_EQ(std::distance(fs::directory_iterator(pathFromUtf8(small)), fs::directory_iterator()),
            1)
      << "no staged copy is left behind";
  EXPECT_TRUE(fs::exists(pathFromUtf8(downloads + "\\app.dll")));
  std::error_code ec;
  fs::remove_all(pathFromUtf8(small), ec);
  fs::remove_all(pathFromUtf8(downloads), ec);
}

}  // namespace
}  // namespace zentro::testing
