// Sha256 (platform/sha256.h) over OpenSSL's libcrypto (EVP). libcrypto is loaded with the first
// digest (see loaded_library.h): only an install run needs it, never the window's first paint.
#include "platform/sha256.h"

#include <openssl/evp.h>

#include <string>

#include "platform/posix/loaded_library.h"
#include "platform/run_log.h"

namespace zentro::platform {
namespace {

// The libcrypto functions a digest calls, typed by the library's own declarations.
struct CryptoCalls {
  decltype(&EVP_MD_CTX_new) ctx_new = nullptr;
  decltype(&EVP_MD_CTX_free) ctx_free = nullptr;
  decltype(&EVP_sha256) sha256 = nullptr;
  decltype(&EVP_DigestInit_ex) init = nullptr;
  decltype(&EVP_DigestUpdate) update = nullptr;
  decltype(&EVP_DigestFinal_ex) final = nullptr;
};

// libcrypto, loaded once on the first digest from any thread; nullptr when it cannot be loaded
// (every digest is then all zero bits, which matches no published hash).
const CryptoCalls* cryptoCalls() {
  static const posix::LoadedLibrary library(ZENTRO_LIBCRYPTO_SONAME);
  static const CryptoCalls* const calls = []() -> const CryptoCalls* {
    static CryptoCalls c;
    const bool found = library.find(c.ctx_new, "EVP_MD_CTX_new") &&
                       library.find(c.ctx_free, "EVP_MD_CTX_free") &&
                       library.find(c.sha256, "EVP_sha256") &&
                       library.find(c.init, "EVP_DigestInit_ex") &&
                       library.find(c.update, "EVP_DigestUpdate") &&
                       library.find(c.final, "EVP_DigestFinal_ex");
    if (found) return &c;
    // Said once: without it every published hash mismatches, and the log must say why.
    logLine(LogLevel::Error, "SHA-256 unavailable: " +
                                 (library.loaded() ? std::string("a libcrypto function is missing")
                                                   : library.why()));
    return nullptr;
  }();
  return calls;
}

}  // namespace

struct Sha256::State {
  const CryptoCalls* crypto = cryptoCalls();
  EVP_MD_CTX* context = crypto != nullptr ? crypto->ctx_new() : nullptr;
  bool ok = false;
  ~State() {
    if (context != nullptr) crypto->ctx_free(context);
  }
  void start() {
    ok = context != nullptr && crypto->init(context, crypto->sha256(), nullptr) == 1;
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->start(); }
Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
  if (state_->ok && !bytes.empty()) {
    state_->ok = state_->crypto->update(state_->context, bytes.data(), bytes.size()) == 1;
  }
}

Sha256::Digest Sha256::finish() {
  Digest out{};
  unsigned int size = 0;
  if (!state_->ok || state_->crypto->final(state_->context, out.data(), &size) != 1 ||
      size != out.size()) {
    out.fill(0);
  }
  state_->start();
  return out;
}

}  // namespace zentro::platform
