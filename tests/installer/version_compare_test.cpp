#include "installer/version_compare.h"

#include <gtest/gtest.h>

namespace zentro {
namespace {

struct Comparison {
  const char* installed;
  const char* offered;
  bool newer;
};

class IsNewerVersionTable : public ::testing::TestWithParam<Comparison> {};

TEST_P(IsNewerVersionTable, ComparesPartByPart) {
  const Comparison& c = GetParam();
  EXPECT_EQ(IsNewerVersion(c.installed, c.offered, false), c.newer)
      << "installed '" << c.installed << "' offered '" << c.offered << "'";
  // Skipped updates are never newer, whatever the texts.
  EXPECT_FALSE(IsNewerVersion(c.installed, c.offered, true));
}

INSTANTIATE_TEST_SUITE_P(
    Versions, IsNewerVersionTable,
    ::testing::Values(
        Comparison{"5.0.21.1", "5.0.21.1", false},
        Comparison{"5.0.21.1", "5, 0, 21, 2", true},
        Comparison{"1.2.9.0", "1.2.10.0", true},
        Comparison{"1.2.10.0", "1.2.9.0", false},
        Comparison{"1.2.3.4", "1,2,3,4", false},
        Comparison{"1,2,3,3", " 1 . 2 . 3 . 4 ", true},
        // Parts above 32767 and above 9999 keep their order.
        Comparison{"39999.0.0.0", "40000.1.2.3", true},
        Comparison{"40000.1.2.3", "40000.1.2.3", false},
        Comparison{"2.0.0.0", "1.10000.0.0", false},
        Comparison{"1.10000.0.0", "2.0.0.0", true},
        Comparison{"1.2.3.65535", "1.2.4.0", true},
        // Short texts fill the missing parts with zeros.
        Comparison{"1.2", "1.2.0.0", false},
        Comparison{"1.2.0.0", "1.2.0.1", true},
        Comparison{"1.2.3", "1.2.3.0", false},
        Comparison{"1.2.3", "1.2.2.9", false},
        Comparison{"7", "7.0.0.1", true},
        // Parts after the fourth do not count.
        Comparison{"", "1.2.3.4.5", true},
        Comparison{"1.2.3.4", "1.2.3.4.5", false},
        Comparison{"1.2.3.3", "1.2.3.4.5.6", true},
        Comparison{"1.2.3.4.9", "1.2.3.5", true},
        // Nothing installed, or nothing readable: any real offer is newer.
        Comparison{"", "0.0.0.1", true},
        Comparison{"", "0.0.0.0", false},
        Comparison{"1.2.beta", "0.0.0.1", true},
        Comparison{"junk", "1", true},
        // An empty or unparsable offer is never newer.
        Comparison{"", "", false},
        Comparison{"1.0.0.0", "", false},
        Comparison{"", "2.0.beta", false},
        Comparison{"", "1..2", false},
        Comparison{"", "-1.0", false},
        Comparison{"", "99999999999.0", false},
        Comparison{"", "4294967296", false},
        Comparison{"", "   ", false},
        Comparison{"", "1.", false},
        Comparison{"", ".1", false},
        Comparison{"", "1.2.3.4.5.", false},
        Comparison{"", "v1", false},
        // Leading zeros, and the largest part there is.
        Comparison{"7.9", "007.010", true},
        Comparison{"7.10", "007.010", false},
        Comparison{"4294967294.9", "4294967295.0.0.0", true}));

}  // namespace
}  // namespace zentro
