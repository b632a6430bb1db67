#include "support/digest.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace Utils {

std::string FileMd5(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {};
  Md5 md5;
  if (!md5.Ready()) return {};
  // Large reads keep the digest within reach of the disk's speed.
  std::vector<unsigned char> buffer(std::size_t{1} << 17);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (n > 0) md5.Update(buffer.data(), n);
    if (n < buffer.size()) break;
  }
  if (std::ferror(file.get())) return {};
  std::array<std::uint8_t, 16> digest{};
  if (!md5.Finish(digest)) return {};
  return DigestHex(digest);
}

std::string DigestHex(const std::array<std::uint8_t, 16>& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

std::string Md5FromUrl(const std::string& address) {
  const std::size_t last = address.rfind('/');
  if (last == std::string::npos || last == 0) return {};
  const std::size_t before = address.rfind('/', last - 1);
  if (before == std::string::npos) return {};
  return address.substr(before + 1, last - before - 1);
}

}  // namespace Utils
