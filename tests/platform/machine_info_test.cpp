#include "platform/machine_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace zentro::platform {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

TEST(MachineInfo, AddressTableIsSortedAndHoldsLoopback) {
  auto table = ipv4AddressTable();
  ASSERT_TRUE(table.has_value());
  EXPECT_TRUE(std::is_sorted(table->begin(), table->end()));
  EXPECT_NE(std::find(table->begin(), table->end(), kLoopback), table->end())
      << "127.0.0.1 in host order, first number in the top byte";
}

TEST(MachineInfo, MemoryFiguresAreConsistent) {
  auto m = memoryStatus();
  ASSERT_TRUE(m.has_value());
  EXPECT_LE(m->memoryLoad, 100u);

  // /proc/meminfo counts kB; the record holds bytes, cut to the low 32 bits.
  std::ifstream in("/proc/meminfo");
  std::string name, unit;
  std::uint64_t kib = 0;
  ASSERT_TRUE(in >> name >> kib >> unit);
  ASSERT_EQ(name, "MemTotal:");
  EXPECT_EQ(m->totalPhys, static_cast<std::uint32_t>(kib * 1024));
}

TEST(MachineInfo, OsVersionWordIsTheNtFamily) {
  std::uint32_t v = osVersionWord();
  EXPECT_EQ(v & 0x80000000u, 0u);
  EXPECT_GE(v & 0xFFu, 2u) << "kernel major version in the low byte";
}

}  // namespace
}  // namespace zentro::platform
