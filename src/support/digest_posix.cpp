// Hashes over OpenSSL's libcrypto (EVP): MD5 and SHA-256. A provider that
// refuses an algorithm (FIPS mode refuses MD5) leaves the hash not Ready.
#include <openssl/evp.h>

#include "support/digest.h"

namespace Utils {

struct Hash::State {
  EVP_MD_CTX* context = nullptr;
};

Hash::Hash(HashAlgorithm algorithm) : algorithm_(algorithm), state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  const EVP_MD* method = algorithm == HashAlgorithm::kSha256 ? EVP_sha256() : EVP_md5();
  if (state_->context != nullptr && EVP_DigestInit_ex(state_->context, method, nullptr) != 1) {
    EVP_MD_CTX_free(state_->context);
    state_->context = nullptr;
  }
}

Hash::~Hash() { EVP_MD_CTX_free(state_->context); }

bool Hash::Ready() const { return state_->context != nullptr; }

void Hash::Update(const void* data, std::size_t size) {
  if (state_->context != nullptr) EVP_DigestUpdate(state_->context, data, size);
}

bool Hash::Finish(std::uint8_t* digest) {
  if (state_->context == nullptr) return false;
  unsigned int length = 0;
  const bool ok = EVP_DigestFinal_ex(state_->context, digest, &length) == 1 && length == DigestSize(algorithm_);
  EVP_MD_CTX_free(state_->context);
  state_->context = nullptr;
  return ok;
}

}  // namespace Utils
