// The software renderer's target: a premultiplied RGBA picture that the
// controls paint into and the hosts present. Every drawing call is clipped to
// the canvas and to the current clip rectangle.
//
// A canvas has a scale (the display's, 1.0 at 96 DPI): the controls draw in
// layout units and the canvas turns them into device pixels, text rendered
// at the scaled size and images resampled smoothly, never a picture of the
// 1x window stretched.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/framework/geometry.h"

namespace Ui {

class Image;
class Font;
struct ImageAttribute;

// Text placement, combined with |.
enum TextFormat : unsigned {
  kTextLeft = 0,
  kTextCenter = 1u << 0,
  kTextRight = 1u << 1,
  kTextTop = 0,
  kTextVCenter = 1u << 2,
  kTextBottom = 1u << 3,
  kTextSingleLine = 1u << 4,  // otherwise lines break at words and at "\n"
  kTextEndEllipsis = 1u << 5,
};

class Canvas {
 public:
  // `width` and `height` in layout units; the pixels are that times `scale`.
  Canvas(int width, int height, double scale = 1.0);

  // In device pixels.
  int Width() const { return width_; }
  int Height() const { return height_; }
  double Scale() const { return scale_; }
  // A rectangle of layout units in device pixels (edges rounded, so that
  // rectangles that touch still touch).
  Rect ToDevice(const Rect& rect) const;
  int ToDevice(int length) const;
  // Row-major, premultiplied; each pixel's bytes are R, G, B, A in memory.
  std::uint8_t* Pixels() { return pixels_.data(); }
  const std::uint8_t* Pixels() const { return pixels_.data(); }
  std::uint32_t PixelAt(int x, int y) const;  // straight 0xAARRGGBB, for tests

  // The clip (layout units) is intersected with the canvas; Reset restores
  // the whole canvas.
  void SetClip(const Rect& clip);
  Rect Clip() const { return logicalClip_; }
  void ResetClip();

  void Clear(Color color);  // replaces, ignoring the clip
  void FillRect(const Rect& rect, Color color);  // blends
  // A filled rectangle with corners rounded by the ellipse radii, anti-aliased.
  void FillRoundRect(const Rect& rect, int radiusX, int radiusY, Color color);
  // A border of `width` pixels inside `rect`; rounded when a radius is above 0.
  void DrawBorder(const Rect& rect, int width, int radiusX, int radiusY, Color color);

  // Draws an image into `controlRect` as `attribute` describes it (source part, "dest"
  // inside the control, 9-slice "corner", colour-key "mask", "fade", "hole",
  // tiling). An image attribute whose file is missing draws nothing.
  void DrawImage(const Image& image, const ImageAttribute& attribute, const Rect& controlRect);

  // Anti-aliased text inside `rect`, placed by the TextFormat bits.
  void DrawText(const Font& font, std::wstring_view text, const Rect& rect, Color color,
                unsigned format);

  // Byte-exact PNG of the canvas (straight alpha). False when it cannot be written.
  bool WritePng(const std::string& path) const;

 private:
  // Device-pixel forms of the drawing calls.
  void FillRectPx(const Rect& rect, Color color);
  void FillRoundRectPx(const Rect& rect, int radiusX, int radiusY, Color color);
  void DrawBorderPx(const Rect& rect, int width, int radiusX, int radiusY, Color color);
  void DrawImageSmooth(const Image& image, const ImageAttribute& attribute, const Rect& controlRect);
  // The font at this canvas's scale (the font itself at 1.0).
  const Font& ScaledFont(const Font& font);

  double scale_ = 1.0;
  Rect logicalBounds_;
  int width_;
  int height_;
  Rect clip_;         // device pixels
  Rect logicalClip_;  // as it was set
  std::vector<std::uint8_t> pixels_;
  std::vector<std::shared_ptr<Font>> scaledFonts_;
};

}  // namespace Ui
