// The portable half of platform/sha256.h; sha256_posix.cpp and sha256_win.cpp compute.
#include "platform/sha256.h"

#include "platform/ascii_text.h"

namespace zentro::platform {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Sha256::Digest Sha256::of(std::string_view bytes) {
  Sha256 h;
  h.update(bytes);
  return h.finish();
}

std::string Sha256::hex(const Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(digest.size() * 2);
  for (std::uint8_t b : digest) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0f]);
  }
  return out;
}

bool digestMatches(const Sha256::Digest& digest, std::string_view hexText) {
  const std::string_view text = trim(hexText);
  if (text.size() != digest.size() * 2) return false;
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int hi = hexValue(text[2 * i]);
    const int lo = hexValue(text[2 * i + 1]);
    if (hi < 0 || lo < 0 || ((hi << 4) | lo) != digest[i]) return false;
  }
  return true;
}

}  // namespace zentro::platform
