// Bytes as lower-case hexadecimal, two digits a byte: how the peers print
// digests.
#pragma once

#include <cstddef>
#include <string>

namespace LoopbackPeer {

inline std::string LowerHex(const unsigned char* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

}  // namespace LoopbackPeer
