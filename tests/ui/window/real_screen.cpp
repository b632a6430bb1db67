#include "ui/window/real_screen.h"

#include "ui/framework/canvas.h"

namespace RealWindow {

Picture Picture::Part(const Ui::Rect& r) const {
  const Ui::Rect inside = r.Intersect({0, 0, width, height});
  Picture part;
  part.width = inside.Width();
  part.height = inside.Height();
  part.pixels.reserve(static_cast<std::size_t>(part.width) * static_cast<std::size_t>(part.height));
  for (int y = inside.top; y < inside.bottom; ++y) {
    for (int x = inside.left; x < inside.right; ++x) part.pixels.push_back(At(x, y));
  }
  return part;
}

bool Picture::WritePng(const std::string& path) const {
  if (width <= 0 || height <= 0) return false;
  Ui::Canvas canvas(width, height);
  std::uint8_t* out = canvas.Pixels();
  for (std::uint32_t pixel : pixels) {
    *out++ = static_cast<std::uint8_t>(pixel >> 16);
    *out++ = static_cast<std::uint8_t>(pixel >> 8);
    *out++ = static_cast<std::uint8_t>(pixel);
    *out++ = 0xFF;
  }
  return canvas.WritePng(path);
}

}  // namespace RealWindow
