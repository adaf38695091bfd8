#pragma once
// UTF-8, the program's text inside: reading one character, writing one, and the UTF-16LE text
// that remote calls and byte arrays carry. Pure functions; any thread; never throw.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zentro {

struct Utf8Char {
  std::uint32_t codePoint = 0;  // when valid
  std::size_t length = 1;       // bytes of the sequence; 1 when the byte starts none
  bool valid = false;           // well-formed: shortest form, no surrogate, at most U+10FFFF
  bool overlong = false;        // not valid because a shorter sequence writes the same
};

// The character that starts at text[at] (at < text.size()).
Utf8Char decodeUtf8(std::string_view text, std::size_t at);

// Appends the UTF-8 form of a code point that the caller has checked is a scalar value.
void appendUtf8(std::string& out, std::uint32_t codePoint);

// UTF-16LE bytes as UTF-8 (an odd last byte is ignored); an unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16le(std::string_view bytes);

}  // namespace zentro
