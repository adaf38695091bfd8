// Letter-case handling of the texts the system compares and shows. The user's locale is a
// Western one: ASCII plus the Latin-1 letters (and the few extra letters of code page 1252)
// change case; everything else is left alone.

#include <cstdint>
#include <string>
#include <string_view>

#include "remote/value.h"

namespace zentro {
namespace {

constexpr std::uint32_t kInvalidByteBase = 0x110000;  // lenient decoding: stray bytes stay distinct

std::uint32_t nextCodePoint(std::string_view s, std::size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || i + static_cast<std::size_t>(len) > s.size()) {
    ++i;
    return kInvalidByteBase + c;
  }
  std::uint32_t cp = c & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return kInvalidByteBase + c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += static_cast<std::size_t>(len);
  return cp;
}

void appendCodePoint(std::string& out, std::uint32_t cp) {
  if (cp >= kInvalidByteBase) {
    out += static_cast<char>(cp - kInvalidByteBase);
  } else if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
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

std::string trimSpaces(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return std::string();
  std::size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

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
