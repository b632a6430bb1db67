#include <windows.h>
#include <bcrypt.h>

#include "support/digest.h"

namespace Utils {

struct Md5::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

Md5::Md5() : state_(std::make_unique<State>()) {
  if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) < 0) {
    state_->algorithm = nullptr;
    return;
  }
  if (BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) < 0)
    state_->hash = nullptr;
}

Md5::~Md5() {
  if (state_->hash != nullptr) BCryptDestroyHash(state_->hash);
  if (state_->algorithm != nullptr) BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

bool Md5::Ready() const { return state_->hash != nullptr; }

void Md5::Update(const void* data, std::size_t size) {
  if (state_->hash == nullptr) return;
  auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
  while (size > 0) {
    const ULONG chunk = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    BCryptHashData(state_->hash, bytes, chunk, 0);
    bytes += chunk;
    size -= chunk;
  }
}

bool Md5::Finish(std::array<std::uint8_t, 16>& digest) {
  if (state_->hash == nullptr) return false;
  const bool ok = BCryptFinishHash(state_->hash, digest.data(), 16, 0) >= 0;
  BCryptDestroyHash(state_->hash);
  state_->hash = nullptr;
  return ok;
}

}  // namespace Utils
