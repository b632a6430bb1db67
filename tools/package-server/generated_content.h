// The bytes of a generated package. The server serves them and the tests
// rebuild them, so both sides must agree bit for bit: byte i of the package
// with seed s is byte (i mod 8), least significant first, of output number
// (i div 8), counted from 0, of SplitMix64 seeded with s. Any byte can be
// computed without its predecessors, which is what range answers need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace PackageContent {

// Output number `index` of SplitMix64 seeded with `seed`.
inline std::uint64_t SplitMix64(std::uint64_t seed, std::uint64_t index) {
  std::uint64_t z = seed + (index + 1) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Writes `count` bytes of the package with `seed`, starting at `offset`.
inline void Fill(std::uint64_t seed, std::uint64_t offset, unsigned char* out, std::size_t count) {
  std::uint64_t wordIndex = ~0ull;
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t position = offset + i;
    if (position / 8 != wordIndex) {
      wordIndex = position / 8;
      word = SplitMix64(seed, wordIndex);
    }
    out[i] = static_cast<unsigned char>(word >> (8 * (position % 8)));
  }
}

// The whole package of `size` bytes.
inline std::string Generate(std::uint64_t seed, std::size_t size) {
  std::string bytes(size, '\0');
  Fill(seed, 0, reinterpret_cast<unsigned char*>(bytes.data()), size);
  return bytes;
}

}  // namespace PackageContent
