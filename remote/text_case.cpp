// Letter case (remote/text_case.h). Texts are read character by character; a byte that does
// not start a UTF-8 character is kept as its own distinct unit, so it survives case mapping
// and orders after every character.
#include "remote/text_case.h"

#include <cstdint>

#include "remote/utf8.h"

namespace zentro {
namespace {

constexpr std::uint32_t kInvalidByteBase = 0x110000;  // lenient decoding: stray bytes stay distinct

std::uint32_t nextCodePoint(std::string_view s, std::size_t& i) {
  if (static_cast<unsigned char>(s[i]) < 0x80) return static_cast<unsigned char>(s[i++]);
  const Utf8Char c = decodeUtf8(s, i);
  if (!c.valid) return kInvalidByteBase + static_cast<unsigned char>(s[i++]);
  i += c.length;
  return c.codePoint;
}

void appendCodePoint(std::string& out, std::uint32_t cp) {
  if (cp >= kInvalidByteBase) out += static_cast<char>(cp - kInvalidByteBase);
  else appendUtf8(out, cp);
}

std::uint32_t toUpper(std::uint32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 0x20;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
  switch (cp) {
    case 0xFF: return 0x178;
    case 0x153: return 0x152;
    case 0x161: return 0x160;
    case 0x17E: return 0x17D;
    default: return cp;
  }
}

std::uint32_t toLower(std::uint32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
  switch (cp) {
    case 0x178: return 0xFF;
    case 0x152: return 0x153;
    case 0x160: return 0x161;
    case 0x17D: return 0x17E;
    default: return cp;
  }
}

template <class Fold>
std::string mapCase(std::string_view s, Fold fold) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) appendCodePoint(out, fold(nextCodePoint(s, i)));
  return out;
}

}  // namespace

std::string upperCase(std::string_view s) { return mapCase(s, toUpper); }

std::string lowerCase(std::string_view s) { return mapCase(s, toLower); }

int compareNoCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    std::uint32_t x = toUpper(nextCodePoint(a, i));
    std::uint32_t y = toUpper(nextCodePoint(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool equalsNoCase(std::string_view a, std::string_view b) { return compareNoCase(a, b) == 0; }

}  // namespace zentro
