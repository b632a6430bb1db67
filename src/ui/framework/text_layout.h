// Line breaking for the renderer's text, free of any font library: words wrap
// at spaces, CJK text between any two characters (but not before closing
// punctuation), lines break at "\n", and an end ellipsis shortens what does
// not fit.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "ui/framework/font.h"

namespace Ui {

// UTF-16 (Windows) or UTF-32 (Linux) wide text as code points; an unpaired
// surrogate becomes U+FFFD.
std::u32string ToCodePoints(std::wstring_view text);

// `advance` gives the width of one character in whole pixels.
TextLayout LayoutText(const std::u32string& text, const std::function<int(char32_t)>& advance,
                      int lineHeight, int maxWidth, int maxHeight, unsigned format);

}  // namespace Ui
