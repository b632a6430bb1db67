// Line breaking with a font of fixed advances (10 pixels a character), so
// that every break is known exactly.
#include "ui/framework/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/framework/canvas.h"

namespace {

struct LayoutCase {
  const char32_t* text;
  int maxWidth;
  int maxHeight;
  unsigned format;
  std::vector<std::u32string> lines;
};

TEST(TextLayout, BreaksWrapsAndShortens) {
  const LayoutCase cases[] = {
      {U"hello world", 0, 0, Ui::kTextSingleLine, {U"hello world"}},
      {U"hello world", 0, 0, 0, {U"hello world"}},                  // no width: no wrapping
      {U"hello world foo", 110, 0, 0, {U"hello world", U"foo"}},   // exactly fits
      {U"hello world foo", 100, 0, 0, {U"hello", U"world foo"}},
      {U"hello   world", 60, 0, 0, {U"hello", U"world"}},          // spaces at a break vanish
      {U"abcdefghij", 40, 0, 0, {U"abcd", U"efgh", U"ij"}},       // a long word is cut
      {U"a\r\nb\n\nc", 0, 0, 0, {U"a", U"b", U"", U"c"}},
      {U"a\r\nb", 0, 0, Ui::kTextSingleLine, {U"ab"}},
      {U"安装完成。", 40, 0, 0, {U"安装完", U"成。"}},              // no line starts with "。"
      {U"安装Talvorin中", 50, 0, 0, {U"安装", U"Talvo", U"rin中"}},
      {U"abcdefghij", 60, 0, Ui::kTextSingleLine | Ui::kTextEndEllipsis, {U"abc..."}},
      {U"abcdef", 60, 0, Ui::kTextSingleLine | Ui::kTextEndEllipsis, {U"abcdef"}},
      {U"ab cd ef gh ij", 50, 25, Ui::kTextEndEllipsis, {U"ab cd", U"ef..."}},
      {U"ab cd ef gh ij", 50, 25, 0, {U"ab cd", U"ef gh", U"ij"}},  // without ellipsis all lines stay
      {U"", 50, 0, 0, {}},
  };
  const auto advance = [](char32_t) { return 10; };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    const Ui::TextLayout layout = Ui::LayoutText(c.text, advance, 12, c.maxWidth, c.maxHeight, c.format);
    std::vector<std::u32string> lines;
    int widest = 0;
    for (const Ui::TextLine& line : layout.lines) {
      lines.push_back(line.text);
      EXPECT_EQ(line.width, static_cast<int>(line.text.size()) * 10);
      widest = std::max(widest, line.width);
    }
    EXPECT_TRUE(lines == c.lines);
    EXPECT_EQ(layout.size, (Ui::Size{widest, 12 * static_cast<int>(c.lines.size())}));
  }
}

TEST(TextLayout, WideTextBecomesCodePoints) {
  EXPECT_EQ(Ui::ToCodePoints(L"a\U0001F600b"), std::u32string(U"a\U0001F600b"));
  std::wstring unpaired = L"x";
  unpaired.push_back(static_cast<wchar_t>(0xD800));
  EXPECT_EQ(Ui::ToCodePoints(unpaired), std::u32string(U"x\uFFFD"));
}

}  // namespace
