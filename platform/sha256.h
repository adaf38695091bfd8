#pragma once
// SHA-256 digests from the platform's own implementation: OpenSSL's libcrypto on Linux, CNG
// (the BCryptCreateHash family) on Windows. Fed incrementally, so a download is hashed while
// it is read back. One object per digest, used by one thread at a time; never throws (a
// digest the platform could not compute is all zero bits, which matches no published hash).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zentro::platform {

class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(std::string_view bytes);
  // Completes the digest. The object starts afresh afterwards.
  Digest finish();

  // The digest of `bytes` in one call.
  static Digest of(std::string_view bytes);
  // 64 lower-case hex digits.
  static std::string hex(const Digest& digest);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// True when `hexText` (either letter case, surrounding spaces ignored) spells `digest`.
bool digestMatches(const Sha256::Digest& digest, std::string_view hexText);

}  // namespace zentro::platform
