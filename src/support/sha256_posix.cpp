// SHA-256 on Linux: libcrypto's EVP digest.
#include <openssl/evp.h>

#include "support/sha256.h"

namespace Utils {

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  if (state_->context && EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(state_->context);
    state_->context = nullptr;
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

void Sha256::Update(const void* data, std::size_t size) {
  if (state_->context) EVP_DigestUpdate(state_->context, data, size);
}

std::string Sha256::FinishHex() {
  if (!state_->context) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const bool ok = EVP_DigestFinal_ex(state_->context, digest, &length) == 1 && length == 32;
  EVP_MD_CTX_free(state_->context);
  state_->context = nullptr;
  if (!ok) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

}  // namespace Utils
