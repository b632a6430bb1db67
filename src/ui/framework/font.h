// Fonts as the layouts declare them ("Font" elements: name, size in pixels,
// bold, underline, italic), rasterised with FreeType. The face file is found
// by fontconfig on Linux and in the Windows fonts folder on Windows; a face
// that is missing falls back to a CJK sans serif, so Chinese text always shows.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ui/framework/geometry.h"

namespace Ui {

struct FontDescription {
  std::wstring name;  // e.g. L"微软雅黑"
  int size = 14;      // pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
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
};

}  // namespace Ui
