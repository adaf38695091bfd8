#include "remote/ado_xml_encoding.h"

#include <cstdint>
#include <cstring>

#include "remote/ado_xml_format.h"
#include "remote/text_case.h"
#include "remote/utf8.h"
#include "remote/value.h"

namespace zentro::ado_xml {
namespace {

std::string fromUtf16(std::string_view b, bool bigEndian) {
  if (b.size() % 2 != 0) fail("The UTF-16 document ends in the middle of a character.");
  std::string out;
  out.reserve(b.size() / 2 + b.size() / 8);
  auto unit = [&](std::size_t i) -> std::uint32_t {
    auto hi = static_cast<unsigned char>(b[bigEndian ? i : i + 1]);
    auto lo = static_cast<unsigned char>(b[bigEndian ? i + 1 : i]);
    return (static_cast<std::uint32_t>(hi) << 8) | lo;
  };
  for (std::size_t i = 0; i < b.size(); i += 2) {
    std::uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDFFF) {
      std::uint32_t lo = i + 3 < b.size() ? unit(i + 2) : 0;
      if (u > 0xDBFF || lo < 0xDC00 || lo > 0xDFFF) {
        fail("The UTF-16 document holds an unpaired surrogate at " +
             positionOf(out, out.size()) + ".");
      }
      u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
      i += 2;
    }
    appendUtf8(out, u);
  }
  return out;
}

std::string fromSingleByte(std::string_view b, bool windows1252) {
  static const std::uint16_t kCp1252[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(b.size() + b.size() / 8);
  for (char ch : b) {
    auto c = static_cast<unsigned char>(ch);
    std::uint32_t cp = (windows1252 && c >= 0x80 && c < 0xA0) ? kCp1252[c - 0x80] : c;
    appendUtf8(out, cp);
  }
  return out;
}

// The encoding named by a leading "<?xml ... encoding='...'?>", or "" when there is none.
std::string declaredEncoding(std::string_view t) {
  if (t.substr(0, 5) != "<?xml" || t.size() < 6 || std::strchr(" \t\r\n", t[5]) == nullptr) {
    return std::string();
  }
  std::size_t end = t.find("?>");
  if (end == std::string_view::npos) return std::string();
  std::string_view decl = t.substr(0, end);
  std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return std::string();
  std::size_t p = at + 8;
  while (p < decl.size() && std::strchr(" \t\r\n", decl[p]) != nullptr) ++p;
  if (p >= decl.size() || decl[p] != '=') return std::string();
  ++p;
  while (p < decl.size() && std::strchr(" \t\r\n", decl[p]) != nullptr) ++p;
  if (p >= decl.size() || (decl[p] != '\'' && decl[p] != '"')) return std::string();
  std::size_t close = decl.find(decl[p], p + 1);
  if (close == std::string_view::npos) return std::string();
  return std::string(decl.substr(p + 1, close - p - 1));
}

[[noreturn]] void failAt(std::string_view text, std::size_t offset, const std::string& what) {
  fail("The XML document " + what + " at " + positionOf(text, offset) + ".");
}

// Checks one multi-byte UTF-8 sequence at i; returns the index after it.
std::size_t checkUtf8(std::string_view s, std::size_t i) {
  const Utf8Char c = decodeUtf8(s, i);
  if (c.overlong) failAt(s, i, "is not valid UTF-8 (overlong form)");
  if (!c.valid) failAt(s, i, "is not valid UTF-8");
  if (!isXmlChar(c.codePoint)) failAt(s, i, "holds a character that XML does not allow");
  return i + c.length;
}

// Checks the reference starting with '&' at i; returns the index after its ';'.
std::size_t checkReference(std::string_view s, std::size_t i) {
  std::size_t semi = s.find(';', i + 1);
  if (semi == std::string_view::npos || semi - i > 12) {
    failAt(s, i, "holds a '&' that does not start a reference (write &amp;)");
  }
  std::string_view name = s.substr(i + 1, semi - i - 1);
  if (name == "amp" || name == "lt" || name == "gt" || name == "apos" || name == "quot") {
    return semi + 1;
  }
  if (name.size() >= 2 && name[0] == '#') {
    bool hex = name[1] == 'x';
    std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t cp = 0;
    bool ok = !digits.empty();
    for (char d : digits) {
      int v = (d >= '0' && d <= '9') ? d - '0'
              : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
              : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10 : -1;
      if (v < 0 || cp > 0x10FFFF) {
        ok = false;
        break;
      }
      cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
    }
    if (!ok || !isXmlChar(cp)) failAt(s, i, "holds a character reference to a character XML does not allow");
    return semi + 1;
  }
  failAt(s, i, "refers to the undefined entity '&" + std::string(name) + ";'");
}

// Checks plain characters of [from, to) (comments, CDATA, processing instructions).
void checkPlain(std::string_view s, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to;) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) i = checkUtf8(s, i);
    else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') failAt(s, i, "holds a control character");
    else ++i;
  }
}

// Skips a comment, CDATA section or processing instruction at i (s[i] == '<').
std::size_t skipSpecial(std::string_view s, std::size_t i) {
  std::string_view rest = s.substr(i);
  std::string_view close;
  if (rest.substr(0, 4) == "<!--") close = "-->";
  else if (rest.substr(0, 9) == "<![CDATA[") close = "]]>";
  else if (rest.substr(0, 2) == "<?") close = "?>";
  else if (rest.substr(0, 9) == "<!DOCTYPE") failAt(s, i, "has a document type declaration, which a rowset never has");
  else return i + 1;
  std::size_t end = s.find(close, i + 2);
  if (end == std::string_view::npos) return s.size();  // the parser reports the unclosed part
  checkPlain(s, i, end);
  return end + close.size();
}

// True when one of the eight bytes of `w` needs a closer look: not ASCII, below 0x20, '&' or
// '<'. Rowset text is mostly plain ASCII, so whole words are skipped at a time.
bool needsLook(std::uint64_t w) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  auto hasZero = [](std::uint64_t x) { return (x - kOnes) & ~x & kHigh; };
  return ((w & kHigh) | ((w - kOnes * 0x20) & ~w & kHigh) | hasZero(w ^ (kOnes * '&')) |
          hasZero(w ^ (kOnes * '<'))) != 0;
}

}  // namespace

bool isXmlChar(std::uint32_t cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  if (cp >= 0xD800 && cp <= 0xDFFF) return false;
  return cp != 0xFFFE && cp != 0xFFFF && cp <= 0x10FFFF;
}

std::size_t xmlCharLength(std::string_view s, std::size_t i) {
  const Utf8Char c = decodeUtf8(s, i);
  return c.valid && isXmlChar(c.codePoint) ? c.length : 0;
}

DecodedText decodeDocument(std::string_view bytes, bool honourDeclaration) {
  DecodedText out;
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    out.text = bytes.substr(3);
    return out;
  }
  if (bytes.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
    out.owned = fromUtf16(bytes.substr(2), at(0) == 0xFE);
    out.text = out.owned;
    return out;
  }
  if (bytes.size() >= 2 && ((at(0) == 0x3C && at(1) == 0) || (at(0) == 0 && at(1) == 0x3C))) {
    out.owned = fromUtf16(bytes, at(0) == 0);
    out.text = out.owned;
    return out;
  }
  out.text = bytes;
  if (!honourDeclaration) return out;
  const std::string declared = declaredEncoding(bytes);
  std::string enc = upperCase(declared);
  if (enc.empty() || enc == "UTF-8" || enc == "UTF8" || enc == "US-ASCII" || enc == "ASCII" ||
      enc == "UTF-16" || enc == "UCS-2" || enc == "UNICODE") {
    return out;
  }
  bool latin1 = enc == "ISO-8859-1" || enc == "LATIN1" || enc == "ISO_8859-1" || enc == "L1";
  bool cp1252 = enc == "WINDOWS-1252" || enc == "CP1252";
  if (!latin1 && !cp1252) fail("The XML document declares the encoding '" + declared + "', which cannot be read.");
  out.owned = fromSingleByte(bytes, cp1252);
  out.text = out.owned;
  return out;
}

namespace {

// Checks from i until at least `limit`; returns where it stopped (a reference, comment or
// character that straddles the limit is checked whole).
std::size_t checkRange(std::string_view s, std::size_t i, std::size_t limit) {
  const std::size_t n = s.size();
  while (i < limit) {
    if (i + 8 <= n) {
      std::uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      if (!needsLook(w)) {
        i += 8;
        continue;
      }
    }
    auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c < 0x80) {
      if (c == '&') i = checkReference(s, i);
      else if (c == '<' && i + 1 < n && (s[i + 1] == '!' || s[i + 1] == '?')) i = skipSpecial(s, i);
      else ++i;
    } else if (c == '\t' || c == '\n' || c == '\r') {
      ++i;
    } else if (c < 0x20) {
      failAt(s, i, "holds a control character");
    } else {
      i = checkUtf8(s, i);
    }
  }
  return i;
}

}  // namespace

void checkCharacters(std::string_view s) { checkRange(s, 0, s.size()); }

std::string positionOf(std::string_view text, std::size_t offset) {
  if (offset > text.size()) offset = text.size();
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    char c = text[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && c != '\r') {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace zentro::ado_xml
