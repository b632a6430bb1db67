// Digests of downloaded packages (MD5 and SHA-256) and the digest a package
// address carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <memory>
#include <string>

namespace Utils {

enum class HashAlgorithm { kMd5, kSha256 };

// Bytes of a digest: 16 for MD5, 32 for SHA-256.
std::size_t DigestSize(HashAlgorithm algorithm);

// Incremental hash over the operating system's own implementation (MD5 of
// RFC 1321, SHA-256 of FIPS 180-4).
class Hash {
 public:
  explicit Hash(HashAlgorithm algorithm);
  ~Hash();
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;

  // False when the system's hash provider is unavailable (missing, or refused
  // as in FIPS mode); Update and Finish then do nothing and Finish answers false.
  bool Ready() const;
  void Update(const void* data, std::size_t size);
  // Writes DigestSize bytes; false when the digest could not be computed.
  bool Finish(std::uint8_t* digest);
  // Lower-case hexadecimal digits of the digest, or empty when it could not
  // be computed.
  std::string FinishHex();
  HashAlgorithm Algorithm() const { return algorithm_; }

 private:
  struct State;
  HashAlgorithm algorithm_;
  std::unique_ptr<State> state_;
};

class Md5 : public Hash {
 public:
  Md5() : Hash(HashAlgorithm::kMd5) {}
  bool Finish(std::array<std::uint8_t, 16>& digest) { return Hash::Finish(digest.data()); }
};

// Lower-case hexadecimal digits of bytes.
std::string HexOf(const std::uint8_t* bytes, std::size_t size);
// 32 lower-case hexadecimal digits of a digest.
std::string DigestHex(const std::array<std::uint8_t, 16>& digest);

// The lower-case hexadecimal digest of the file's whole content, or empty
// when the file cannot be opened or read or the hash cannot be computed.
// `path` is in the ANSI code page.
std::string FileDigest(const std::string& path, HashAlgorithm algorithm);
inline std::string FileMd5(const std::string& path) { return FileDigest(path, HashAlgorithm::kMd5); }

// The path segment just before the file name: for ".../<digest>/package.exe"
// the digest text. Empty when the address has fewer than two slashes.
std::string Md5FromUrl(const std::string& address);

}  // namespace Utils
