#include "platform/ascii_text.h"

#include <algorithm>

namespace zentro::platform {

std::string_view trim(std::string_view text, std::string_view chars) {
  const std::size_t first = text.find_first_not_of(chars);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(chars) - first + 1);
}

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(static_cast<unsigned char>(x)) == lower(static_cast<unsigned char>(y));
         });
}

bool startsWithNoCaseAscii(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsNoCaseAscii(text.substr(0, prefix.size()), prefix);
}

}  // namespace zentro::platform
