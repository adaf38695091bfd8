#include "remote/utf8.h"

namespace zentro {

Utf8Char decodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  Utf8Char c;
  if (lead < 0x80) {
    c.codePoint = lead;
    c.valid = true;
    return c;
  }
  const std::size_t len = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || len > text.size() - at) return c;
  std::uint32_t cp = lead & (0x7Fu >> len);
  for (std::size_t k = 1; k < len; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return c;
    cp = (cp << 6) | (next & 0x3F);
  }
  static constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kShortest[len]) {
    c.overlong = true;
    return c;
  }
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return c;
  c.codePoint = cp;
  c.length = len;
  c.valid = true;
  return c;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
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

std::string utf8FromUtf16le(std::string_view bytes) {
  const std::size_t units = bytes.size() / 2;
  auto unit = [&bytes](std::size_t k) -> std::uint32_t {
    return static_cast<unsigned char>(bytes[2 * k]) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k + 1])) << 8);
  };
  std::string out;
  out.reserve(units);
  for (std::size_t k = 0; k < units; ++k) {
    std::uint32_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
        unit(k + 1) <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    appendUtf8(out, u);
  }
  return out;
}

}  // namespace zentro
