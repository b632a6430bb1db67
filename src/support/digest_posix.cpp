#include <openssl/evp.h>

#include "support/digest.h"

namespace Utils {

struct Md5::State {
  EVP_MD_CTX* context = nullptr;
};

Md5::Md5() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  if (state_->context != nullptr && EVP_DigestInit_ex(state_->context, EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(state_->context);
    state_->context = nullptr;
  }
}

Md5::~Md5() { EVP_MD_CTX_free(state_->context); }

bool Md5::Ready() const { return state_->context != nullptr; }

void Md5::Update(const void* data, std::size_t size) {
  if (state_->context != nullptr) EVP_DigestUpdate(state_->context, data, size);
}

bool Md5::Finish(std::array<std::uint8_t, 16>& digest) {
  if (state_->context == nullptr) return false;
  unsigned int length = 0;
  const bool ok = EVP_DigestFinal_ex(state_->context, digest.data(), &length) == 1 && length == 16;
  EVP_MD_CTX_free(state_->context);
  state_->context = nullptr;
  return ok;
}

}  // namespace Utils
