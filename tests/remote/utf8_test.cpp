#include "remote/utf8.h"

#include <gtest/gtest.h>

namespace zentro {
namespace {

TEST(Utf8, DecodesWellFormedCharactersOnly) {
  const struct {
    std::string_view text;
    std::uint32_t codePoint;  // 0 when not valid
    std::size_t length;
    bool overlong;
  } rows[] = {{"a", 'a', 1, false},          {"\xC3\xA9", 0xE9, 2, false},
              {"\xE2\x82\xAC", 0x20AC, 3, false}, {"\xF0\x9F\x98\x80", 0x1F600, 4, false},
              {"\xC0\xAF", 0, 1, true},       {"\xE0\x80\xAF", 0, 1, true},
              {"\xED\xA0\x80", 0, 1, false},  // a surrogate
              {"\xF4\x90\x80\x80", 0, 1, false},  // beyond U+10FFFF
              {"\xE2\x82", 0, 1, false},      {"\x80", 0, 1, false},   {"\xC3" "a", 0, 1, false}};
  for (const auto& row : rows) {
    const Utf8Char c = decodeUtf8(row.text, 0);
    EXPECT_EQ(c.valid, row.codePoint != 0) << row.text;
    EXPECT_EQ(c.valid ? c.codePoint : 0, row.codePoint) << row.text;
    EXPECT_EQ(c.length, row.length) << row.text;
    EXPECT_EQ(c.overlong, row.overlong) << row.text;
    std::string back;
    if (c.valid) appendUtf8(back, c.codePoint);
    EXPECT_EQ(back, c.valid ? row.text : "") << row.text;
  }
  // UTF-16LE: a pair, and an unpaired surrogate as U+FFFD; an odd last byte is dropped.
  EXPECT_EQ(utf8FromUtf16le(std::string("\x3D\xD8\x00\xDE" "a\x00" "\x00\xD8" "b\x00" "c", 11)),
            "\xF0\x9F\x98\x80" "a\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace zentro
