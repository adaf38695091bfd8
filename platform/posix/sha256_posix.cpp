// Sha256 (platform/sha256.h) over OpenSSL's libcrypto (EVP).
#include "platform/sha256.h"

#include <openssl/evp.h>

namespace zentro::platform {

struct Sha256::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool ok = false;
  ~State() { EVP_MD_CTX_free(context); }
  void start() { ok = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1; }
};

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->start(); }
Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
  if (state_->ok && !bytes.empty()) {
    state_->ok = EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) == 1;
  }
}

Sha256::Digest Sha256::finish() {
  Digest out{};
  unsigned int size = 0;
  if (!state_->ok || EVP_DigestFinal_ex(state_->context, out.data(), &size) != 1 ||
      size != out.size()) {
    out.fill(0);
  }
  state_->start();
  return out;
}

}  // namespace zentro::platform
