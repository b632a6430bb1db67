// Text drawn with the fonts the layouts ask for. The Windows build may find no
// face at all (Wine ships no Windows fonts); those checks are skipped there.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ui/framework/canvas.h"
#include "ui/framework/font.h"

namespace {

std::shared_ptr<Ui::Font> SkinFont(int size) {
  Ui::FontDescription description;
  description.name = L"微软雅黑";
  description.size = size;
  return Ui::Font::Create(description);
}

// The bounding box of every pixel with some ink.
struct Ink {
  int pixels = 0;
  Ui::Rect box;
};
Ink InkOf(const Ui::Canvas& canvas) {
  Ink ink;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if (canvas.PixelAt(x, y) == 0) continue;
      ++ink.pixels;
      ink.box = ink.box.Union({x, y, x + 1, y + 1});
    }
  }
  return ink;
}

#ifdef _WIN32
#define REQUIRE_FACE(font) \
  if (!(font)->HasFace()) GTEST_SKIP() << "no font face in the Windows fonts folder"
#else
#define REQUIRE_FACE(font) ASSERT_TRUE((font)->HasFace())
#endif

TEST(RenderText, MeasuredWidthGrowsWithTheText) {
  auto font = SkinFont(14);
  REQUIRE_FACE(font);
  const unsigned single = Ui::kTextSingleLine;
  const Ui::Size one = font->Measure(L"T", 0, single);
  const Ui::Size word = font->Measure(L"Talvorin", 0, single);
  const Ui::Size more = font->Measure(L"Talvorin 安装完成", 0, single);
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(word.cx, one.cx);
  EXPECT_GT(more.cx, word.cx);
  EXPECT_EQ(more.cy, font->LineHeight());
  EXPECT_GT(SkinFont(32)->Measure(L"Talvorin", 0, single).cx, word.cx);
  EXPECT_EQ(font->Measure(L"", 0, single), (Ui::Size{0, 0}));
}

// Text drawn into a rectangle exactly its measured size is not cut: the
// same pixels appear as in a rectangle with room to spare.
TEST(RenderText, MeasureMatchesDrawing) {
  auto font = SkinFont(18);
  REQUIRE_FACE(font);
  const std::wstring text = L"正在安装中:42%，请稍候";
  const Ui::Size size = font->Measure(text, 0, Ui::kTextSingleLine);
  Ui::Canvas exact(size.cx + 40, size.cy + 40);
  exact.DrawText(*font, text, {0, 0, size.cx, size.cy}, 0xFF282A43, Ui::kTextSingleLine);
  Ui::Canvas roomy(size.cx + 40, size.cy + 40);
  roomy.DrawText(*font, text, {0, 0, size.cx + 40, size.cy + 40}, 0xFF282A43, Ui::kTextSingleLine);
  const Ink ink = InkOf(exact);
  EXPECT_GT(ink.pixels, 100);
  EXPECT_EQ(std::vector<std::uint8_t>(exact.Pixels(), exact.Pixels() + exact.Width() * exact.Height() * 4),
            std::vector<std::uint8_t>(roomy.Pixels(), roomy.Pixels() + roomy.Width() * roomy.Height() * 4));

  // Centred in a wider rectangle, the ink moves by half the spare width.
  Ui::Canvas centred(size.cx + 40, size.cy + 40);
  centred.DrawText(*font, text, {0, 0, size.cx + 40, size.cy}, 0xFF282A43,
                   Ui::kTextSingleLine | Ui::kTextCenter);
  EXPECT_EQ(InkOf(centred).box, ink.box.Offset(20, 0));
}

TEST(RenderText, MultilineWrapsWithinTheWidth) {
  auto font = SkinFont(14);
  REQUIRE_FACE(font);
  const std::wstring text = L"安装程序检测到Talvorin正在运行，请退出程序后再安装";
  const Ui::Size size = font->Measure(text, 120, 0);
  EXPECT_LE(size.cx, 120);
  EXPECT_GE(size.cy, 3 * font->LineHeight());
  EXPECT_EQ(size.cy % font->LineHeight(), 0);

  Ui::Canvas canvas(300, 200);
  canvas.DrawText(*font, text, {10, 10, 130, 190}, 0xFF333333, 0);
  const Ink ink = InkOf(canvas);
  EXPECT_GE(ink.box.left, 10);
  EXPECT_LE(ink.box.right, 130);
  EXPECT_GE(ink.box.Height(), 2 * font->LineHeight());

  // Lines also break where the text says so.
  EXPECT_EQ(font->Measure(L"安装程序\r\n正在运行", 0, 0).cy, 2 * font->LineHeight());
}

TEST(RenderText, EllipsisKeepsALineInsideItsWidth) {
  auto font = SkinFont(14);
  REQUIRE_FACE(font);
  const std::wstring text = L"检测到计算机中已存在此软件，是否为您更新为最新版本？";
  const unsigned format = Ui::kTextSingleLine | Ui::kTextEndEllipsis;
  EXPECT_LE(font->Measure(text, 100, format).cx, 100);
  const Ui::TextLayout layout = font->Layout(text, 100, 0, format);
  ASSERT_EQ(layout.lines.size(), 1u);
  EXPECT_TRUE(layout.lines[0].text.ends_with(U"..."));
}

TEST(RenderText, TextStaysInItsRectangleAndClip) {
  auto font = SkinFont(24);
  REQUIRE_FACE(font);
  Ui::Canvas canvas(200, 60);
  canvas.SetClip({0, 0, 60, 60});
  canvas.DrawText(*font, L"安装完成安装完成", {10, 5, 190, 55}, 0xFF000000, Ui::kTextSingleLine);
  const Ink ink = InkOf(canvas);
  EXPECT_GT(ink.pixels, 0);
  EXPECT_GE(ink.box.left, 10);
  EXPECT_LE(ink.box.right, 60);
  EXPECT_GE(ink.box.top, 5);
}

#ifndef _WIN32
// The skin's Windows font falls back to a face with Chinese glyphs: each
// character leaves its own distinct ink, not a missing-glyph box.
TEST(RenderText, ChineseGlyphsProduceInk) {
  auto font = SkinFont(32);
  ASSERT_TRUE(font->HasFace());
  std::vector<std::vector<std::uint8_t>> pictures;
  for (const wchar_t* character : {L"安", L"装", L"完", L"成"}) {
    Ui::Canvas canvas(48, 48);
    canvas.DrawText(*font, character, {0, 0, 48, 48}, 0xFF282A43, Ui::kTextSingleLine);
    EXPECT_GT(InkOf(canvas).pixels, 60) << "no ink for a Chinese character";
    pictures.emplace_back(canvas.Pixels(), canvas.Pixels() + 48 * 48 * 4);
  }
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    for (std::size_t j = i + 1; j < pictures.size(); ++j) EXPECT_NE(pictures[i], pictures[j]);
  }
}
#endif

TEST(RenderText, BoldAndUnderlineAddInk) {
  Ui::FontDescription description;
  description.name = L"微软雅黑";
  description.size = 16;
  auto plain = Ui::Font::Create(description);
  REQUIRE_FACE(plain);
  description.bold = true;
  auto bold = Ui::Font::Create(description);
  description.bold = false;
  description.underline = true;
  auto underlined = Ui::Font::Create(description);
  auto inkOf = [](const Ui::Font& font) {
    Ui::Canvas canvas(200, 40);
    canvas.DrawText(font, L"Talvorin 安装", {0, 0, 200, 40}, 0xFF000000, Ui::kTextSingleLine);
    return InkOf(canvas);
  };
  const Ink regular = inkOf(*plain);
  EXPECT_GT(inkOf(*bold).pixels, regular.pixels);
  const Ink line = inkOf(*underlined);
  EXPECT_GT(line.pixels, regular.pixels);
  EXPECT_GE(line.box.bottom, regular.box.bottom);
}

}  // namespace
