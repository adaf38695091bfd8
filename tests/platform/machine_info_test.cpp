// Machine facts for the machine report, one contract for both systems;
// machine_info_posix_test.cpp holds the Linux sources of the figures.
#include "platform/machine_info.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zentro::platform {
namespace {

TEST(MachineInfoTest, AddressTableMemoryAndVersionWord) {
  auto table = ipv4AddressTable();
  ASSERT_TRUE(table.has_value());
  EXPECT_TRUE(std::is_sorted(table->begin(), table->end()));
  EXPECT_NE(std::find(table->begin(), table->end(), 0x7F000001u), table->end())
      << "127.0.0.1 in host order, first number in the top byte";

  auto m = memoryStatus();
  ASSERT_TRUE(m.has_value());
  EXPECT_LE(m->memoryLoad, 100u);
  EXPECT_GT(m->totalPhys, 0u);
  EXPECT_LE(m->availPhys, m->totalPhys);
  EXPECT_GT(m->totalVirtual, 0u);
  EXPECT_LE(m->availVirtual, m->totalVirtual);

  const std::uint32_t word = osVersionWord();
  EXPECT_EQ(word & 0x80000000u, 0u) << "the NT family";
  EXPECT_GE(word & 0xFFu, 2u) << "major version in the low byte";
}

}  // namespace
}  // namespace zentro::platform
