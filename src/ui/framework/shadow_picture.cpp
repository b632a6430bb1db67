#include "ui/framework/shadow_picture.h"

#include <algorithm>
#include <cmath>

#include "ui/framework/image.h"
#include "ui/framework/pixel.h"

namespace Ui {

std::uint8_t ShadowAlpha(double distance, const ShadowSettings& shadow) {
  const int radius = std::max(shadow.size, shadow.sharpness);
  const int hard = shadow.size > shadow.sharpness ? shadow.size - shadow.sharpness : 0;
  if (distance > radius) return 0;
  if (distance < hard) return static_cast<std::uint8_t>(shadow.darkness);
  const double alpha = (1.0 - (distance - hard) / (shadow.sharpness + 1)) * shadow.darkness;
  return static_cast<std::uint8_t>(std::clamp(std::lround(alpha), 0L, 255L));
}

ShadowPicture RenderShadow(Size window, const ShadowSettings& shadow, const Image* image) {
  if (image != nullptr && image->Width() > 0) {
    // The image is drawn around the window: its corner widths stick out.
    const Rect& c = shadow.imageCorner;
    const Rect bounds{-c.left + shadow.offsetX, -c.top + shadow.offsetY, window.cx + c.right + shadow.offsetX,
                      window.cy + c.bottom + shadow.offsetY};
    ShadowPicture picture{bounds, Canvas(bounds.Width(), bounds.Height())};
    ImageAttribute attribute;
    attribute.file = shadow.image;
    attribute.corner = c;
    picture.canvas.DrawImage(*image, attribute, {0, 0, bounds.Width(), bounds.Height()});
    const Rect own = Rect{0, 0, window.cx, window.cy}.Offset(-bounds.left, -bounds.top);
    for (int y = std::max(own.top, 0); y < std::min(own.bottom, bounds.Height()); ++y) {
      for (int x = std::max(own.left, 0); x < std::min(own.right, bounds.Width()); ++x) {
        Pixel::Store(picture.canvas.Pixels() + (static_cast<std::size_t>(y) * bounds.Width() + x) * 4, 0);
      }
    }
    return picture;
  }

  const int radius = std::max(shadow.size, shadow.sharpness);
  const int extent = std::max(shadow.size + radius, 0);
  const Rect bounds{shadow.offsetX - extent, shadow.offsetY - extent, shadow.offsetX + window.cx + extent,
                    shadow.offsetY + window.cy + extent};
  ShadowPicture picture{bounds, Canvas(bounds.Width(), bounds.Height())};
  // The window's region widened by the size, in the picture's coordinates.
  const Rect region{extent - shadow.size, extent - shadow.size, extent + window.cx + shadow.size,
                    extent + window.cy + shadow.size};
  // The window itself, which the shadow must not cover.
  const Rect own = Rect{0, 0, window.cx, window.cy}.Offset(-bounds.left, -bounds.top);
  const Color rgb = shadow.color & 0x00FFFFFFu;
  std::uint32_t byAlpha[256];
  for (std::uint32_t a = 0; a < 256; ++a) byAlpha[a] = Pixel::Premultiply(rgb | a << 24);
  for (int y = 0; y < bounds.Height(); ++y) {
    const int dy = std::max({region.top - y, 0, y - (region.bottom - 1)});
    for (int x = 0; x < bounds.Width(); ++x) {
      if (own.Contains(x, y) || region.IsEmpty()) continue;
      const int dx = std::max({region.left - x, 0, x - (region.right - 1)});
      const std::uint8_t alpha = ShadowAlpha(std::sqrt(static_cast<double>(dx * dx + dy * dy)), shadow);
      Pixel::Store(picture.canvas.Pixels() + (static_cast<std::size_t>(y) * bounds.Width() + x) * 4, byAlpha[alpha]);
    }
  }
  return picture;
}

}  // namespace Ui
