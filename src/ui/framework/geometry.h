// Rectangles, sizes and colours as the layouts write them: integer pixels,
// rectangles as left, top, right, bottom with right and bottom exclusive.
#pragma once

#include <algorithm>
#include <cstdint>

namespace Ui {

struct Size {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
           std::min(bottom, o.bottom)};
    return r.IsEmpty() ? Rect{} : r;
  }
  Rect Union(const Rect& o) const {
    if (IsEmpty()) return o;
    if (o.IsEmpty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
            std::max(bottom, o.bottom)};
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Straight (not premultiplied) 0xAARRGGBB, as written in the layouts.
using Color = std::uint32_t;

inline std::uint8_t ColorAlpha(Color c) { return static_cast<std::uint8_t>(c >> 24); }
inline std::uint8_t ColorRed(Color c) { return static_cast<std::uint8_t>(c >> 16); }
inline std::uint8_t ColorGreen(Color c) { return static_cast<std::uint8_t>(c >> 8); }
inline std::uint8_t ColorBlue(Color c) { return static_cast<std::uint8_t>(c); }

}  // namespace Ui
