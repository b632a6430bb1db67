// Reading the values of layout attributes: numbers, rectangles and sizes as
// comma-separated integers, colours behind "#" or "0x", booleans. Every
// reader accepts damaged text without failing: what cannot be read counts
// as 0 (or the given fallback), and numbers are kept within ±kMaxCoordinate
// so that no layout can make the arithmetic overflow.
#pragma once

#include <optional>
#include <string_view>

#include "ui/framework/geometry.h"

namespace Ui {

inline constexpr int kMaxCoordinate = 100000;

// The leading decimal integer (optional sign), 0 without digits, clamped.
int ParseIntValue(std::wstring_view text);
// Up to four comma-separated integers; missing ones are 0.
Rect ParseRectValue(std::wstring_view text);
Size ParseSizeValue(std::wstring_view text);
// "#AARRGGBB", "0xAARRGGBB", also without the prefix; six digits mean an
// opaque colour. nullopt for text that is not a colour.
std::optional<Color> ParseColorValue(std::wstring_view text);
// "true" (any case) is true, everything else false.
bool ParseBoolValue(std::wstring_view text);
// Case-insensitive ASCII comparison of attribute and element names.
bool NameEquals(std::wstring_view a, std::wstring_view b);

}  // namespace Ui
