#include "ui/framework/text_layout.h"

#include <algorithm>

#include "ui/framework/canvas.h"

namespace Ui {

namespace {

const std::u32string kEllipsis = U"...";

bool IsWide(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Punctuation that must not start a line.
bool IsClosing(char32_t c) {
  return std::u32string_view(U",.!?:;)]}%，。、！？：；）》」』】〉…").find(c) !=
         std::u32string_view::npos;
}

// May a line end between `before` and `after`?
bool CanBreakBetween(char32_t before, char32_t after) {
  if (IsClosing(after)) return false;
  return before == U' ' || IsWide(before) || IsWide(after);
}

int Width(const std::u32string& text, const std::function<int(char32_t)>& advance) {
  int width = 0;
  for (char32_t c : text) width += advance(c);
  return width;
}

// Drops characters from the end until the text and an ellipsis fit.
TextLine WithEllipsis(std::u32string text, const std::function<int(char32_t)>& advance,
                      int maxWidth) {
  const int dots = Width(kEllipsis, advance);
  int width = Width(text, advance);
  while (!text.empty() && width + dots > maxWidth) {
    width -= advance(text.back());
    text.pop_back();
  }
  while (!text.empty() && text.back() == U' ') {
    width -= advance(text.back());
    text.pop_back();
  }
  return {text + kEllipsis, width + dots};
}

// Greedy wrapping of one paragraph (no "\n" inside).
void Wrap(const std::u32string& paragraph, const std::function<int(char32_t)>& advance,
          int maxWidth, std::vector<TextLine>& lines) {
  std::size_t start = 0;
  while (true) {
    while (start < paragraph.size() && paragraph[start] == U' ' && start > 0) ++start;
    int width = 0;
    std::size_t end = start;
    std::size_t lastBreak = std::u32string::npos;  // a line may end before this index
    while (end < paragraph.size()) {
      const int w = advance(paragraph[end]);
      if (end > start && width + w > maxWidth && paragraph[end] != U' ') break;
      width += w;
      ++end;
      if (end < paragraph.size() && CanBreakBetween(paragraph[end - 1], paragraph[end])) {
        lastBreak = end;
      }
    }
    if (end < paragraph.size() && lastBreak != std::u32string::npos && lastBreak > start) {
      end = lastBreak;
    }
    std::u32string text = paragraph.substr(start, end - start);
    while (!text.empty() && text.back() == U' ' && end < paragraph.size()) text.pop_back();
    lines.push_back({text, Width(text, advance)});
    if (end >= paragraph.size()) break;
    start = end;
  }
}

}  // namespace

std::u32string ToCodePoints(std::wstring_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto unit = static_cast<std::uint32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
        const auto low = static_cast<std::uint32_t>(text[i + 1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          out.push_back(static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
          ++i;
          continue;
        }
      }
      if (unit >= 0xD800 && unit <= 0xDFFF) {
        out.push_back(U'\uFFFD');
        continue;
      }
    } else if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) {
      out.push_back(U'\uFFFD');
      continue;
    }
    out.push_back(static_cast<char32_t>(unit));
  }
  return out;
}

TextLayout LayoutText(const std::u32string& text, const std::function<int(char32_t)>& advance,
                      int lineHeight, int maxWidth, int maxHeight, unsigned format) {
  TextLayout layout;
  if (text.empty()) return layout;
  const bool ellipsis = (format & kTextEndEllipsis) != 0;
  if (format & kTextSingleLine) {
    std::u32string line;
    for (char32_t c : text) {
      if (c == U'\t') c = U' ';  // tab stops are not supported; a space stands in for each
      if (c != U'\r' && c != U'\n') line.push_back(c);
    }
    TextLine result{line, Width(line, advance)};
    if (ellipsis && maxWidth > 0 && result.width > maxWidth) result = WithEllipsis(line, advance, maxWidth);
    layout.lines.push_back(std::move(result));
  } else {
    std::u32string paragraph;
    auto flush = [&] {
      if (maxWidth > 0) {
        Wrap(paragraph, advance, maxWidth, layout.lines);
      } else {
        layout.lines.push_back({paragraph, Width(paragraph, advance)});
      }
      paragraph.clear();
    };
    for (char32_t c : text) {
      if (c == U'\r') continue;
      if (c == U'\n') {
        flush();
        continue;
      }
      paragraph.push_back(c == U'\t' ? U' ' : c);
    }
    flush();
    if (ellipsis && maxHeight > 0 && lineHeight > 0 &&
        static_cast<long long>(layout.lines.size()) * lineHeight > maxHeight) {
      const std::size_t fit = static_cast<std::size_t>(std::max(maxHeight / lineHeight, 1));
      layout.lines.resize(fit);
      TextLine& last = layout.lines.back();
      last = WithEllipsis(last.text, advance, maxWidth > 0 ? maxWidth : last.width);
    }
  }
  for (const TextLine& line : layout.lines) layout.size.cx = std::max(layout.size.cx, line.width);
  layout.size.cy = static_cast<int>(layout.lines.size()) * lineHeight;
  return layout;
}

}  // namespace Ui
