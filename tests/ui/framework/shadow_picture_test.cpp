// The computed drop shadow: its extent, the kernel's opacity by distance and
// the window's own area left clear.
#include "ui/framework/shadow_picture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Ui::ShadowSettings Settings(int size, int sharpness, int darkness, int offsetX, int offsetY) {
  Ui::ShadowSettings s;
  s.enabled = true;
  s.size = size;
  s.sharpness = sharpness;
  s.darkness = darkness;
  s.offsetX = offsetX;
  s.offsetY = offsetY;
  s.color = 0x26003B76;
  return s;
}

TEST(ShadowPicture, KernelIsHardThenFallsOffToTheRadius) {
  // The main window's values: size 6, sharpness 10, darkness 20: no hard part.
  const Ui::ShadowSettings soft = Settings(6, 10, 20, 1, 1);
  EXPECT_EQ(Ui::ShadowAlpha(0, soft), 20);
  EXPECT_EQ(Ui::ShadowAlpha(5, soft), 11);  // (1 - 5 / 11) × 20 = 10.9
  EXPECT_EQ(Ui::ShadowAlpha(10, soft), 2);
  EXPECT_EQ(Ui::ShadowAlpha(10.5, soft), 0);
  // Size above sharpness: full darkness up to size − sharpness.
  const Ui::ShadowSettings hard = Settings(8, 2, 150, 5, 5);
  EXPECT_EQ(Ui::ShadowAlpha(5.9, hard), 150);
  EXPECT_EQ(Ui::ShadowAlpha(7, hard), 100);  // (1 - 1 / 3) × 150
  EXPECT_EQ(Ui::ShadowAlpha(8.5, hard), 0);
}

TEST(ShadowPicture, SurroundsTheWindowWithoutCoveringIt) {
  const Ui::ShadowSettings s = Settings(6, 10, 20, 1, 1);
  const Ui::ShadowPicture p = Ui::RenderShadow({100, 50}, s);
  // Widened by the size and the kernel's radius on each side, then moved by the offsets.
  EXPECT_EQ(p.bounds, (Ui::Rect{-15, -15, 117, 67}));
  ASSERT_EQ(p.canvas.Width(), 132);
  ASSERT_EQ(p.canvas.Height(), 82);
  // Window pixel (x, y) is picture pixel (x + 15, y + 15).
  EXPECT_EQ(p.canvas.PixelAt(15, 15), 0u);      // the window's corner: clear
  EXPECT_EQ(p.canvas.PixelAt(114, 64), 0u);     // its far corner
  const std::uint32_t edge = p.canvas.PixelAt(115, 40);  // just right of the window, inside the widened region
  EXPECT_EQ(edge >> 24, 20u);
  // The widened region ends at picture column 121; the last column is 10 beyond it.
  EXPECT_EQ(p.canvas.PixelAt(131, 40) >> 24, 2u);
  EXPECT_EQ(p.canvas.PixelAt(126, 40) >> 24, Ui::ShadowAlpha(5, s));
  // Diagonal distance at the corners: the falloff is round.
  EXPECT_EQ(p.canvas.PixelAt(126, 75) >> 24, Ui::ShadowAlpha(std::sqrt(41.0), s));
  // Colour: the layout's (0x003B76), its own alpha replaced by the kernel's;
  // 0x40 and 0x73 are 0x3B and 0x76 after premultiplying by 20 / 255 and back.
  EXPECT_EQ(edge, 0x14004073u);
}

}  // namespace
