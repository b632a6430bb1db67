#include "support/digest.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace Utils {

std::size_t DigestSize(HashAlgorithm algorithm) { return algorithm == HashAlgorithm::kSha256 ? 32 : 16; }

std::string Hash::FinishHex() {
  std::uint8_t digest[32] = {};
  if (!Finish(digest)) return {};
  return HexOf(digest, DigestSize(algorithm_));
}

std::string FileDigest(const std::string& path, HashAlgorithm algorithm) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {};
  Hash md5(algorithm);
  if (!md5.Ready()) return {};
  // Large reads keep the digest within reach of the disk's speed.
  std::vector<unsigned char> buffer(std::size_t{1} << 17);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (n > 0) md5.Update(buffer.data(), n);
    if (n < buffer.size()) break;
  }
  if (std::ferror(file.get())) return {};
  return md5.FinishHex();
}

std::string HexOf(const std::uint8_t* bytes, std::size_t size) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

std::string DigestHex(const std::array<std::uint8_t, 16>& digest) { return HexOf(digest.data(), digest.size()); }

std::string Md5FromUrl(const std::string& address) {
  const std::size_t last = address.rfind('/');
  if (last == std::string::npos || last == 0) return {};
  const std::size_t before = address.rfind('/', last - 1);
  if (before == std::string::npos) return {};
  return address.substr(before + 1, last - before - 1);
}

}  // namespace Utils
