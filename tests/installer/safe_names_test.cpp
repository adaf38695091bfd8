#include "installer/safe_names.h"

#include <gtest/gtest.h>

#include <string>

namespace zentro {
namespace {

struct NameCase {
  std::string name;
  bool safeFileName;
  bool safeArchiveEntry;
};

class SafeNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeNames, JudgesServerNames) {
  const NameCase& c = GetParam();
  EXPECT_EQ(IsSafeFileName(c.name), c.safeFileName) << "'" << c.name << "'";
  EXPECT_EQ(IsSafeArchiveEntry(c.name), c.safeArchiveEntry) << "'" << c.name << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Names, SafeNames,
    ::testing::Values(NameCase{"msvbvm60.dll", true, true},
                      NameCase{"VMI Data 2.ocx", true, true},
                      NameCase{"archive.tar.gz", true, true},
                      NameCase{"..hidden", true, true},
                      NameCase{"", false, false},
                      NameCase{".", false, true},
                      NameCase{"..", false, false},
                      NameCase{"...", false, false},
                      NameCase{". .", false, false},
                      NameCase{"sub/file.dll", false, true},
                      NameCase{"sub\\file.dll", false, true},
                      NameCase{"sub/", false, true},
                      NameCase{"./file.dll", false, true},
                      NameCase{"/etc/passwd", false, false},
                      NameCase{"\\Windows\\system.ini", false, false},
                      NameCase{"C:\\boot.ini", false, false},
                      NameCase{"C:file", false, false},
                      NameCase{"file.dll:stream", false, false},
                      NameCase{"../x", false, false},
                      NameCase{"sub/../../x", false, false},
                      NameCase{"sub\\..\\..\\x", false, false},
                      NameCase{"sub/.. /x", false, false},
                      NameCase{"sub/x/..", false, false},
                      NameCase{std::string("a\0b", 3), false, false}));

}  // namespace
}  // namespace zentro
