#include "platform/ascii_text.h"

#include <gtest/gtest.h>

namespace zentro::platform {
namespace {

TEST(AsciiText, TrimsTheGivenCharactersAndFoldsOnlyAsciiLetters) {
  const struct { std::string_view text, chars, trimmed; } rows[] = {
      {"  a b  ", kSpaces, "a b"}, {"\ta\t", kSpaces, "\ta\t"}, {"   ", kSpaces, ""},
      {" \t1.5\t ", kBlanks, "1.5"}, {"\r\n", kBlanks, "\r\n"}, {" v \r\n", kWhiteSpace, "v"}};
  for (const auto& row : rows) EXPECT_EQ(trim(row.text, row.chars), row.trimmed) << row.text;
  EXPECT_TRUE(equalsNoCaseAscii("Content-TYPE", "content-type"));
  EXPECT_FALSE(equalsNoCaseAscii("\xc3\x84", "\xc3\xa4") || equalsNoCaseAscii("abc", "abcd"));
  EXPECT_TRUE(startsWithNoCaseAscii("HTTPS://h/", "https:") && startsWithNoCaseAscii("x", ""));
  EXPECT_FALSE(startsWithNoCaseAscii("http", "https:") || startsWithNoCaseAscii("xhttps:", "https:"));
}

}  // namespace
}  // namespace zentro::platform
