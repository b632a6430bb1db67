// Premultiplied pixel arithmetic shared by the renderer's files. A pixel is
// packed as R | G << 8 | B << 16 | A << 24, which is the canvas's byte order
// (R, G, B, A in memory) on the little-endian machines both builds target.
#pragma once

#include <cstdint>
#include <cstring>

#include "ui/framework/geometry.h"

namespace Ui::Pixel {

// x / 255 rounded to nearest, exact for x <= 255 * 255.
inline std::uint32_t Div255(std::uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

// Multiplies all four channels of a packed pixel by f / 255 (rounded), two
// channels per multiplication; each lane stays below 2^16, so the result is
// the same as Div255 on every channel separately.
inline std::uint32_t Scale(std::uint32_t p, std::uint32_t f) {
  std::uint32_t rb = (p & 0x00FF00FFu) * f + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  std::uint32_t ag = ((p >> 8) & 0x00FF00FFu) * f + 0x00800080u;
  ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ag;
}

inline std::uint32_t Alpha(std::uint32_t p) { return p >> 24; }

// Source over destination, both premultiplied.
inline std::uint32_t Over(std::uint32_t src, std::uint32_t dst) {
  const std::uint32_t a = Alpha(src);
  if (a == 255) return src;
  if (a == 0) return dst;
  return src + Scale(dst, 255 - a);
}

inline std::uint32_t Pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  return r | (g << 8) | (b << 16) | (a << 24);
}

// A layout colour (straight 0xAARRGGBB) as a packed premultiplied pixel.
inline std::uint32_t Premultiply(Color c) {
  const std::uint32_t a = ColorAlpha(c);
  return Pack(Div255(ColorRed(c) * a), Div255(ColorGreen(c) * a), Div255(ColorBlue(c) * a), a);
}

inline std::uint32_t Load(const std::uint8_t* at) {
  std::uint32_t p;
  std::memcpy(&p, at, 4);
  return p;
}
inline void Store(std::uint8_t* at, std::uint32_t p) { std::memcpy(at, &p, 4); }

}  // namespace Ui::Pixel
