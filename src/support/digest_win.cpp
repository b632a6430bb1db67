#include <windows.h>
#include <bcrypt.h>

#include "support/digest.h"

namespace Utils {

struct Hash::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

Hash::Hash(HashAlgorithm algorithm) : algorithm_(algorithm), state_(std::make_unique<State>()) {
  const wchar_t* name = algorithm == HashAlgorithm::kSha256 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_MD5_ALGORITHM;
  if (BCryptOpenAlgorithmProvider(&state_->algorithm, name, nullptr, 0) < 0) {
    state_->algorithm = nullptr;
    return;
  }
  if (BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) < 0)
    state_->hash = nullptr;
}

Hash::~Hash() {
  if (state_->hash != nullptr) BCryptDestroyHash(state_->hash);
  if (state_->algorithm != nullptr) BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

bool Hash::Ready() const { return state_->hash != nullptr; }

void Hash::Update(const void* data, std::size_t size) {
  if (state_->hash == nullptr) return;
  auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
  while (size > 0) {
    const ULONG chunk = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    BCryptHashData(state_->hash, bytes, chunk, 0);
    bytes += chunk;
    size -= chunk;
  }
}

bool Hash::Finish(std::uint8_t* digest) {
  if (state_->hash == nullptr) return false;
  const bool ok =
      BCryptFinishHash(state_->hash, digest, static_cast<ULONG>(DigestSize(algorithm_)), 0) >= 0;
  BCryptDestroyHash(state_->hash);
  state_->hash = nullptr;
  return ok;
}

}  // namespace Utils
