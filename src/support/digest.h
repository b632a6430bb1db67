// MD5 digests of downloaded packages and the digest a package address carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <memory>
#include <string>

namespace Utils {

// Incremental MD5 (RFC 1321) over the operating system's own implementation.
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  // False when the system's hash provider is unavailable; Update and Finish
  // then do nothing and Finish answers false.
  bool Ready() const;
  void Update(const void* data, std::size_t size);
  bool Finish(std::array<std::uint8_t, 16>& digest);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// 32 lower-case hexadecimal digits of a digest.
std::string DigestHex(const std::array<std::uint8_t, 16>& digest);

// 32 lower-case hexadecimal digits of the MD5 of the file's whole content, or
// empty when the file cannot be opened or read. `path` is in the ANSI code page.
std::string FileMd5(const std::string& path);

// The path segment just before the file name: for ".../<digest>/package.exe"
// the digest text. Empty when the address has fewer than two slashes.
std::string Md5FromUrl(const std::string& address);

}  // namespace Utils
