#pragma once
// SHA-256 (FIPS 180-4), fed incrementally so a download is hashed while it is written.
// Plain value type; no thread affinity.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zentro {

class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();
  void update(const void* data, std::size_t size);
  void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
  // Completes the hash. The object starts afresh afterwards.
  Digest finish();

  // The digest of `bytes` in one call.
  static Digest of(std::string_view bytes);
  // 64 lower-case hex digits.
  static std::string hex(const Digest& digest);

 private:
  void compress(const std::uint8_t* block);
  void reset();

  std::array<std::uint32_t, 8> state_{};
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// True when `hexText` (either letter case, surrounding blanks ignored) spells `digest`.
bool DigestMatches(const Sha256::Digest& digest, std::string_view hexText);

}  // namespace zentro
