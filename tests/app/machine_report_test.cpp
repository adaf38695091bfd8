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

  // Without the memory figures every line reads 0.
  const std::string no = buildMachineReport(std::nullopt, false);
  EXPECT_EQ(no, buildMachineReport(platform::MemoryStatus{}, false));
  EXPECT_TRUE(no.ends_with("\r\nTotal Virtual Memory = 0\r\nHas admin access = No\r\n")) << no;
}

TEST(AdminProbe, AWritableFolderOrADeclinedCheckAnswersYesAndOnlyItsOwnProbeIsCleaned) {
  zentro::testing::TempDir dir;
  EXPECT_TRUE(HasAdminAccess(mr::kUpdateCheckRuns, dir.str()));
  EXPECT_TRUE(HasAdminAccess(kAnswerNo, dir.file("does/not/exist")));
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_FALSE(HasAdminAccess(mr::kUpdateCheckRuns, dir.file("missing")));
  EXPECT_FALSE(HasAdminAccess(mr::kUpdateCheckRuns, ""));

  // A probe a killed run left is cleaned up, and the probe goes on.
  dir.write("CVTest/CVTest.dat", "");
  EXPECT_TRUE(HasAdminAccess(mr::kUpdateCheckRuns, dir.str()));
  EXPECT_FALSE(fs::exists(dir.path() / "CVTest"));

  fs::create_directory(dir.path() / "CVTest");
  EXPECT_TRUE(HasAdminAccess(mr::kUpdateCheckRuns, dir.str()));
  EXPECT_FALSE(fs::exists(dir.path() / "CVTest"));

  // A CVTest folder holding anything else is not ours to delete.
  dir.write("CVTest/keep.txt", "x");
  EXPECT_FALSE(HasAdminAccess(mr::kUpdateCheckRuns, dir.str()));
  EXPECT_TRUE(fs::exists(dir.path() / "CVTest/keep.txt"));
}

}  // namespace
}  // namespace zentro
