// Fonts as the layouts declare them ("Font" elements: name, size in pixels,
// bold, underline, italic), rasterised with FreeType. The face file is found
// by fontconfig on Linux and in the Windows fonts folder on Windows; a face
// that is missing falls back to a CJK sans serif, so Chinese text always shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/framework/geometry.h"

namespace Ui {

struct FontDescription {
  std::wstring name;  // e.g. L"微软雅黑"
  int size = 14;      // pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
};

// One rasterised character: coverage 0..255, placed relative to the pen on
// the baseline (x = pen + left, y = baseline - top).
struct GlyphBitmap {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int advance = 0;  // whole pixels, so that measuring and drawing agree
  std::vector<std::uint8_t> coverage;
};

// Text broken into lines as it will be drawn.
struct TextLine {
  std::u32string text;
  int width = 0;
};
struct TextLayout {
  std::vector<TextLine> lines;
  Size size;  // widest line, lines × line height
};

class Font {
 public:
  // Never null: when no face can be found at all, the font draws nothing and
  // measures zero (and says so in the log).
  static std::shared_ptr<Font> Create(const FontDescription& description);
  virtual ~Font() = default;

  virtual const FontDescription& Description() const = 0;
  virtual int LineHeight() const = 0;
  // Size of the text laid out as Canvas::DrawText would within `maxWidth`
  // (0: no limit) with the same TextFormat bits.
  virtual Size Measure(std::wstring_view text, int maxWidth, unsigned format) const = 0;

  // False when no face file could be opened: such a font draws nothing.
  virtual bool HasFace() const = 0;
  // Distance from the top of a line to its baseline.
  virtual int Ascent() const = 0;
  // The line breaking of Measure and DrawText; `maxHeight` (0: no limit)
  // matters with kTextEndEllipsis, which then ends the last line that fits.
  virtual TextLayout Layout(std::wstring_view text, int maxWidth, int maxHeight,
                            unsigned format) const = 0;
  // The rasterised character, cached; an empty bitmap for characters the face lacks.
  virtual const GlyphBitmap& Glyph(char32_t character) const = 0;
};

}  // namespace Ui
