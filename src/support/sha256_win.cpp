// SHA-256 on Windows: the CNG provider (bcrypt), as for MD5.
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "support/sha256.h"

namespace Utils {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<unsigned char> object;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
    state_->algorithm = nullptr;
    return;
  }
  DWORD objectSize = 0, written = 0;
  if (BCryptGetProperty(state_->algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                        sizeof objectSize, &written, 0) != 0)
    return;
  state_->object.resize(objectSize);
  if (BCryptCreateHash(state_->algorithm, &state_->hash, state_->object.data(), objectSize, nullptr, 0, 0) != 0)
    state_->hash = nullptr;
}

Sha256::~Sha256() {
  if (state_->hash) BCryptDestroyHash(state_->hash);
  if (state_->algorithm) BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

void Sha256::Update(const void* data, std::size_t size) {
  auto* bytes = static_cast<const unsigned char*>(data);
  while (state_->hash && size > 0) {
    const ULONG chunk = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), chunk, 0);
    bytes += chunk;
    size -= chunk;
  }
}

std::string Sha256::FinishHex() {
  if (!state_->hash) return {};
  unsigned char digest[32];
  const bool ok = BCryptFinishHash(state_->hash, digest, sizeof digest, 0) == 0;
  BCryptDestroyHash(state_->hash);
  state_->hash = nullptr;
  if (!ok) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

}  // namespace Utils
