#include "app/machine_report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
namespace mr = machine_report;

constexpr int kAnswerNo = 7;

TEST(MachineReport, SelectsTheHighestAddressOfTheTable) {
  EXPECT_EQ(selectIpAddress(std::vector<std::uint32_t>{0x7F000001}), "127.0.0.1");
  EXPECT_EQ(selectIpAddress(std::vector<std::uint32_t>{0x7F000001, 0xC0A80105}), "192.168.1.5");
  EXPECT_EQ(selectIpAddress(std::vector<std::uint32_t>{0x0A000002, 0x7F000001}), "127.0.0.1");
  EXPECT_EQ(selectIpAddress(std::vector<std::uint32_t>{}), "");
  EXPECT_EQ(selectIpAddress(std::nullopt), "");
  EXPECT_EQ(ipv4Text(0x00FF0A01), "0.255.10.1");
  // The machine has at least its loopback address.
  EXPECT_FALSE(GetIpAddresses().empty());
}

TEST(MachineReport, TextHasTheEightLinesInOrder) {
  platform::MemoryStatus m;
  m.memoryLoad = 37;
  m.totalPhys = 0x80000000u;      // 2^31
  m.availPhys = 0xFFFFFFFFu;      // all bits set
  m.totalPageFile = 0x7FFFFFFFu;
  m.availPageFile = 1000;
  m.totalVirtual = 0x80000001u;
  m.availVirtual = 0;
  EXPECT_EQ(buildMachineReport(m, true),
            "Available Page File = 1000\r\n"
            "Available Physical Memory = -1\r\n"
            "Available Virtual Memory = 0\r\n"
            "Memory Load = %37\r\n"
            "Total Page File = 2147483647\r\n"
            "Total Physical Memory = -2147483648\r\n"
            "Total Virtual Memory = -2147483647\r\n"
            "Has admin access = Yes\r\n");

  std::string no = buildMachineReport(std::nullopt, false);
  EXPECT_EQ(no, std::string(mr::kAvailablePageFile) + "0\r\n" +
                    std::string(mr::kAvailablePhysicalMemory) + "0\r\n" +
                    std::string(mr::kAvailableVirtualMemory) + "0\r\n" +
                    std::string(mr::kMemoryLoad) + "0\r\n" + std::string(mr::kTotalPageFile) +
                    "0\r\n" + std::string(mr::kTotalPhysicalMemory) + "0\r\n" +
                    std::string(mr::kTotalVirtualMemory) + "0\r\n" +
                    std::string(mr::kHasAdminAccess) + std::string(mr::kNo) + "\r\n");
}

class AdminProbeTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
};

TEST_F(AdminProbeTest, AWritableFolderOrADeclinedCheckAnswersYesAndLeavesNoTrace) {
  EXPECT_TRUE(HasAdminAccess(mr::kUpdateCheckRuns, dir_.str()));
  EXPECT_TRUE(HasAdminAccess(kAnswerNo, dir_.file("does/not/exist")));
  EXPECT_TRUE(fs::is_empty(dir_.path()));
  EXPECT_FALSE(HasAdminAccess(mr::kUpdateCheckRuns, dir_.file("missing")));
  EXPECT_FALSE(HasAdminAccess(mr::kUpdateCheckRuns, ""));
}

TEST_F(AdminProbeTest, LeftoverProbeIsCleanedAndTheProbeGoesOn) {
  dir_.write("CVTest/CVTest.dat", "");
  EXPECT_TRUE(HasAdminAccess(mr::kUpdateCheckRuns, dir_.str()));
  EXPECT_FALSE(fs::exists(dir_.path() / "CVTest"));

  fs::create_directory(dir_.path() / "CVTest");
  EXPECT_TRUE(HasAdminAccess(mr::kUpdateCheckRuns, dir_.str()));
  EXPECT_FALSE(fs::exists(dir_.path() / "CVTest"));

  // A CVTest folder holding anything else is not ours to delete.
  dir_.write("CVTest/keep.txt", "x");
  EXPECT_FALSE(HasAdminAccess(mr::kUpdateCheckRuns, dir_.str()));
  EXPECT_TRUE(fs::exists(dir_.path() / "CVTest/keep.txt"));
}

}  // namespace
}  // namespace zentro
