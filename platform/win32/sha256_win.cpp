// Sha256 (platform/sha256.h) over CNG: BCryptCreateHash with the SHA-256 provider, whose hash
// object the program owns (a buffer of the size the provider names).
#include "platform/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

namespace zentro::platform {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<UCHAR> object;
  bool ok = false;

  State() {
    DWORD size = 0, written = 0;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
      algorithm = nullptr;
      return;
    }
    if (BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&size),
                          sizeof size, &written, 0) == 0) {
      object.resize(size);
    }
  }
  ~State() {
    closeHash();
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  void closeHash() {
    if (hash) BCryptDestroyHash(hash);
    hash = nullptr;
  }
  void start() {
    closeHash();
    ok = algorithm && !object.empty() &&
         BCryptCreateHash(algorithm, &hash, object.data(), static_cast<ULONG>(object.size()),
                          nullptr, 0, 0) == 0;
    if (!ok) hash = nullptr;
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->start(); }
Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
  // BCryptHashData takes at most ULONG bytes a call.
  constexpr std::size_t kMaxPiece = 1u << 30;
  while (state_->ok && !bytes.empty()) {
    const std::size_t piece = bytes.size() < kMaxPiece ? bytes.size() : kMaxPiece;
    state_->ok = BCryptHashData(state_->hash,
                                reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                static_cast<ULONG>(piece), 0) == 0;
    bytes.remove_prefix(piece);
  }
}

Sha256::Digest Sha256::finish() {
  Digest out{};
  if (!state_->ok ||
      BCryptFinishHash(state_->hash, out.data(), static_cast<ULONG>(out.size()), 0) != 0) {
    out.fill(0);
  }
  state_->start();
  return out;
}

}  // namespace zentro::platform
