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
  EXPECT_EQ(isSafeFileName(c.name), c.safeFileName) << "'" << c.name << "'";
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
                      NameCase{std::string("a\0b", 3), false, false},
                      // Windows device names, in any case, with extensions, trailing dots or
                      // blanks, and at any level of an entry.
                      NameCase{"CON", false, false},
                      NameCase{"nul.txt", false, false},
                      NameCase{"Aux.tar.gz", false, false},
                      NameCase{"prn .dll", false, false},
                      NameCase{"COM1.", false, false},
                      NameCase{"lpt9  ", false, false},
                      NameCase{"CONOUT$", false, false},
                      NameCase{"COM\xC2\xB9.dll", false, false},
                      NameCase{"sub/con.dll", false, false},
                      NameCase{"Nul\\x", false, false},
                      NameCase{"COM10.dll", true, true},
                      NameCase{"LPT0", true, true},
                      NameCase{"CONSOLE.dll", true, true},
                      NameCase{"x.con", true, true},
                      NameCase{"sub/COM", false, true}));

}  // namespace
}  // namespace zentro
