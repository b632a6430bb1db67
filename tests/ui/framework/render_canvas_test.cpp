// The canvas: blending, clipping, rounded shapes and the PNG round trip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text.h"
#include "test_support.h"
#include "ui/framework/canvas.h"
#include "ui/framework/image.h"

namespace {

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  const std::string bytes = TestSupport::ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST(RenderCanvas, FillBlendsPremultipliedAndKeepsToTheClip) {
  Ui::Canvas canvas(8, 8);
  canvas.Clear(0xFF0000FF);  // opaque blue
  canvas.SetClip({2, 2, 5, 5});
  canvas.FillRect({0, 0, 8, 8}, 0x80FF0000);  // half-transparent red
  // 128 of red plus 255 * 127 / 255 of the blue below; the result is opaque.
  EXPECT_EQ(canvas.PixelAt(2, 2), 0xFF80007Fu);
  EXPECT_EQ(canvas.PixelAt(4, 4), 0xFF80007Fu);
  EXPECT_EQ(canvas.PixelAt(1, 2), 0xFF0000FFu);
  EXPECT_EQ(canvas.PixelAt(5, 4), 0xFF0000FFu);
  EXPECT_EQ(canvas.PixelAt(4, 5), 0xFF0000FFu);

  canvas.SetClip({-10, -10, 100, 3});  // intersected with the canvas
  EXPECT_EQ(canvas.Clip(), (Ui::Rect{0, 0, 8, 3}));
  canvas.ResetClip();
  EXPECT_EQ(canvas.Clip(), (Ui::Rect{0, 0, 8, 8}));
}

TEST(RenderCanvas, RoundedRectangleIsSquareInsideAndCutAtTheCorners) {
  Ui::Canvas canvas(20, 20);
  canvas.FillRoundRect({0, 0, 20, 20}, 6, 6, 0xFF00FF00);
  EXPECT_EQ(canvas.PixelAt(0, 0), 0u);                 // outside the corner's arc
  EXPECT_EQ(canvas.PixelAt(10, 0), 0xFF00FF00u);        // straight edge
  EXPECT_EQ(canvas.PixelAt(0, 10), 0xFF00FF00u);
  EXPECT_EQ(canvas.PixelAt(10, 10), 0xFF00FF00u);
  const std::uint32_t onArc = canvas.PixelAt(1, 2);  // partly covered: anti-aliased
  EXPECT_GT(onArc >> 24, 0u);
  EXPECT_LT(onArc >> 24, 255u);
  // The four corners are mirror images.
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 6; ++j) {
      EXPECT_EQ(canvas.PixelAt(i, j), canvas.PixelAt(19 - i, 19 - j)) << i << "," << j;
      EXPECT_EQ(canvas.PixelAt(i, j), canvas.PixelAt(19 - i, j)) << i << "," << j;
    }
  }
}

TEST(RenderCanvas, BorderIsDrawnInsideTheRectangle) {
  Ui::Canvas canvas(10, 10);
  canvas.DrawBorder({1, 1, 9, 9}, 1, 0, 0, 0xFF112233);
  EXPECT_EQ(canvas.PixelAt(1, 1), 0xFF112233u);
  EXPECT_EQ(canvas.PixelAt(8, 5), 0xFF112233u);
  EXPECT_EQ(canvas.PixelAt(5, 8), 0xFF112233u);
  EXPECT_EQ(canvas.PixelAt(2, 2), 0u);
  EXPECT_EQ(canvas.PixelAt(0, 0), 0u);
  EXPECT_EQ(canvas.PixelAt(9, 9), 0u);

  // Rounded: the middle of each side is solid, the inside stays empty and
  // the very corner is cut away.
  Ui::Canvas round(32, 32);
  round.DrawBorder({0, 0, 32, 32}, 1, 8, 8, 0xFF112233);
  EXPECT_EQ(round.PixelAt(16, 0), 0xFF112233u);
  EXPECT_EQ(round.PixelAt(31, 16), 0xFF112233u);
  EXPECT_EQ(round.PixelAt(16, 16), 0u);
  EXPECT_EQ(round.PixelAt(0, 0), 0u);
  EXPECT_EQ(round.PixelAt(4, 4) >> 24, 0u);  // inside the arc, off the ring
}

// Every premultiplied value a pixel can hold survives writing the canvas as
// PNG (straight alpha) and decoding it again.
TEST(RenderCanvas, PngRoundTripKeepsEveryPremultipliedValue) {
  Ui::Canvas canvas(256, 256);
  std::uint8_t* pixels = canvas.Pixels();
  for (int a = 0; a < 256; ++a) {
    for (int v = 0; v < 256; ++v) {
      std::uint8_t* p = pixels + (static_cast<std::size_t>(a) * 256 + v) * 4;
      const auto value = static_cast<std::uint8_t>(v <= a ? v : 0);
      p[0] = value;
      p[1] = static_cast<std::uint8_t>(a - value);
      p[2] = static_cast<std::uint8_t>(value / 2);
      p[3] = static_cast<std::uint8_t>(a);
    }
  }
  TestSupport::TempDir dir;
  const std::wstring path = dir.File(L"round-trip.png");
  ASSERT_TRUE(canvas.WritePng(Utils::ToNarrow(path, Utils::kCodePageUtf8)));
  auto image = Ui::Image::Decode(ReadAll(path));
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->Width(), 256);
  ASSERT_EQ(image->Height(), 256);
  EXPECT_EQ(std::vector<std::uint8_t>(image->Pixels(), image->Pixels() + 256 * 256 * 4),
            std::vector<std::uint8_t>(pixels, pixels + 256 * 256 * 4));
}

TEST(RenderCanvas, PngWritingReportsAFolderThatDoesNotExist) {
  Ui::Canvas canvas(2, 2);
  TestSupport::TempDir dir;
  EXPECT_FALSE(canvas.WritePng(Utils::ToNarrow(dir.File(L"missing") + L"/x.png", Utils::kCodePageUtf8)));
}

}  // namespace
