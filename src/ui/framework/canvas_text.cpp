// Canvas::DrawText: lines laid out by the font, placed by the TextFormat bits
// and blended glyph by glyph, clipped to the text rectangle.
#include <algorithm>

#include "ui/framework/canvas.h"
#include "ui/framework/font.h"
#include "ui/framework/pixel.h"

namespace Ui {

const Font& Canvas::ScaledFont(const Font& font) {
  if (scale_ == 1.0) return font;
  FontDescription wanted = font.Description();
  wanted.size = std::max(1, ToDevice(wanted.size));
  for (const std::shared_ptr<Font>& scaled : scaledFonts_) {
    const FontDescription& d = scaled->Description();
    if (d.name == wanted.name && d.size == wanted.size && d.bold == wanted.bold && d.italic == wanted.italic &&
        d.underline == wanted.underline) {
      return *scaled;
    }
  }
  scaledFonts_.push_back(Font::Create(wanted));
  return *scaledFonts_.back();
}

void Canvas::DrawText(const Font& logicalFont, std::wstring_view text, const Rect& logicalRect, Color color,
                      unsigned format) {
  // Laid out again at the device size: glyphs rasterised for these pixels.
  const Font& font = ScaledFont(logicalFont);
  const Rect rect = ToDevice(logicalRect);
  const Rect area = rect.Intersect(clip_);
  const std::uint32_t src = Pixel::Premultiply(color);
  if (area.IsEmpty() || text.empty() || Pixel::Alpha(src) == 0 || !font.HasFace()) return;
  const TextLayout layout = font.Layout(text, rect.Width(), rect.Height(), format);
  const int lineHeight = font.LineHeight();

  int y = rect.top;
  if (format & kTextVCenter) {
    y += (rect.Height() - layout.size.cy) / 2;
  } else if (format & kTextBottom) {
    y += rect.Height() - layout.size.cy;
  }
  for (const TextLine& line : layout.lines) {
    int x = rect.left;
    if (format & kTextCenter) {
      x += (rect.Width() - line.width) / 2;
    } else if (format & kTextRight) {
      x += rect.Width() - line.width;
    }
    const int baseline = y + font.Ascent();
    const int lineLeft = x;
    for (char32_t c : line.text) {
      const GlyphBitmap& glyph = font.Glyph(c);
      const Rect box{x + glyph.left, baseline - glyph.top, x + glyph.left + glyph.width,
                     baseline - glyph.top + glyph.height};
      const Rect visible = box.Intersect(area);
      for (int py = visible.top; py < visible.bottom; ++py) {
        const std::uint8_t* coverage = glyph.coverage.data() +
                                       static_cast<std::size_t>(py - box.top) * glyph.width +
                                       (visible.left - box.left);
        std::uint8_t* at = pixels_.data() + (static_cast<std::size_t>(py) * width_ + visible.left) * 4;
        for (int px = visible.left; px < visible.right; ++px, ++coverage, at += 4) {
          const std::uint32_t cover = *coverage;
          if (cover == 0) continue;
          const std::uint32_t s = cover == 255 ? src : Pixel::Scale(src, cover);
          Pixel::Store(at, Pixel::Over(s, Pixel::Load(at)));
        }
      }
      x += glyph.advance;
    }
    if (font.Description().underline && line.width > 0) {
      const int size = font.Description().size;
      const int top = baseline + 1 + size / 16;
      FillRectPx(Rect{lineLeft, top, lineLeft + line.width, top + std::max(1, size / 14)}.Intersect(area),
                 color);
    }
    y += lineHeight;
  }
}

}  // namespace Ui
