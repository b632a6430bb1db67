// Windows on a high-DPI display: the same layout drawn at the display's
// pixels. The window grows with the scale, text is rasterised at the larger
// size (the same pixels as text of twice the size at 1x, not a stretched
// picture), and the host's device-pixel input lands on the same controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/framework/canvas.h"
#include "ui/framework/display_scale.h"
#include "ui/framework/font.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/label.h"
#include "ui/framework/offscreen_host.h"

namespace {

// The rows of a canvas that hold dark (text) pixels inside `r`, device pixels.
int InkHeight(const Ui::Canvas& canvas, const Ui::Rect& r) {
  int first = -1, last = -1;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const std::uint32_t p = canvas.PixelAt(x, y);
      const int luminance = static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF));
      if ((p >> 24) > 0 && luminance < 3 * 110) {
        if (first < 0) first = y;
        last = y;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

TEST(FrameworkScale, ScaleTwoGivesATwiceAsLargeWindowWithTextRenderedAtTwiceTheSize) {
  struct Shown {
    Ui::Size device;
    int inkHeight = 0;
  };
  Shown shown[2];
  for (int i = 0; i < 2; ++i) {
    Ui::OffscreenEnvironment environment;
    environment.SetDisplayScale(i == 0 ? 1.0 : 2.0);
    FrameworkTest::SkinWindow window(L"MainWnd.xml");
    ASSERT_TRUE(window.Create(environment, nullptr));
    FrameworkTest::ShowMainPage(window, 3);
    environment.RunUntilIdle();
    const Ui::Canvas& canvas = *window.GetCanvas();
    shown[i].device = {canvas.Width(), canvas.Height()};
    // "安装完成", the finish page's headline (the label above the button).
    const Ui::Rect button = window.FindControl(L"openProduceBtn")->Position();
    const Ui::Rect headline{button.left - 40, button.top - 52 - 50, button.right + 40, button.top - 52};
    shown[i].inkHeight = InkHeight(canvas, canvas.ToDevice(headline));
    // The layout itself is the same in both: only the pixels differ.
    EXPECT_EQ(button, (Ui::Rect{200, 302, 400, 348}));
  }
  EXPECT_EQ(shown[0].device, (Ui::Size{600, 400}));
  EXPECT_EQ(shown[1].device, (Ui::Size{1200, 800}));
  ASSERT_GT(shown[0].inkHeight, 10);
  EXPECT_NEAR(shown[1].inkHeight, 2 * shown[0].inkHeight, 2);
}

TEST(FrameworkScale, TextAtScaleTwoIsTheFontAtTwiceItsSizeNotAStretchedPicture) {
  const std::shared_ptr<Ui::Font> small = Ui::Font::Create({L"微软雅黑", 14});
  const std::shared_ptr<Ui::Font> large = Ui::Font::Create({L"微软雅黑", 28});
  ASSERT_TRUE(small->HasFace());
  const std::wstring text = L"正在安装中:45%";
  Ui::Canvas scaled(200, 30, 2.0);
  Ui::Canvas direct(400, 60, 1.0);
  scaled.DrawText(*small, text, {0, 0, 200, 30}, 0xFF282A43, Ui::kTextLeft | Ui::kTextVCenter | Ui::kTextSingleLine);
  direct.DrawText(*large, text, {0, 0, 400, 60}, 0xFF282A43, Ui::kTextLeft | Ui::kTextVCenter | Ui::kTextSingleLine);
  ASSERT_EQ(scaled.Width(), direct.Width());
  int differing = 0, inked = 0;
  for (int y = 0; y < direct.Height(); ++y) {
    for (int x = 0; x < direct.Width(); ++x) {
      if (direct.PixelAt(x, y) != 0) ++inked;
      if (direct.PixelAt(x, y) != scaled.PixelAt(x, y)) ++differing;
    }
  }
  EXPECT_GT(inked, 500);
  EXPECT_EQ(differing, 0);
}

TEST(FrameworkScale, DevicePixelInputReachesTheSameControlsAndTheDragStrip) {
  for (double scale : {1.5, 2.0}) {
    SCOPED_TRACE(scale);
    Ui::OffscreenEnvironment environment;
    environment.SetDisplayScale(scale);
    FrameworkTest::SkinWindow window(L"MainWnd.xml");
    ASSERT_TRUE(window.Create(environment, nullptr));
    environment.RunUntilIdle();
    Ui::OffscreenHost* host = environment.HostOf(window);
    const Ui::Rect r = window.FindControl(L"customeBtn")->Position();
    const Ui::Point device{static_cast<int>((r.left + 5) * scale), static_cast<int>((r.top + 5) * scale)};
    host->MouseMove(device);
    EXPECT_TRUE(window.FindControl(L"customeBtn")->IsHot());
    // The caption strip (35 units high) is 35 × scale pixels high.
    const int strip = static_cast<int>(35 * scale);
    EXPECT_TRUE(window.IsCaptionAt({300, strip - 2}));
    EXPECT_FALSE(window.IsCaptionAt({300, strip + 2}));
  }
}

TEST(FrameworkScale, MovingToADisplayOfAnotherScaleRedrawsAtItsPixels) {
  Ui::OffscreenEnvironment environment;
  FrameworkTest::SkinWindow window(L"MainWnd.xml");
  ASSERT_TRUE(window.Create(environment, nullptr));
  environment.RunUntilIdle();
  Ui::OffscreenHost* host = environment.HostOf(window);
  const std::vector<std::uint8_t> at100(window.GetCanvas()->Pixels(),
                                        window.GetCanvas()->Pixels() + 600 * 400 * 4);
  window.ChangeScale(2.0);
  environment.RunUntilIdle();
  EXPECT_EQ(host->DeviceSize(), (Ui::Size{1200, 800}));
  EXPECT_EQ(window.GetCanvas()->Width(), 1200);
  // All of it drawn again: the bottom-right corner holds the page, not nothing.
  EXPECT_NE(window.GetCanvas()->PixelAt(1190, 790) >> 24, 0u);
  // And back: the same picture as before the move.
  window.ChangeScale(1.0);
  environment.RunUntilIdle();
  EXPECT_EQ(host->DeviceSize(), (Ui::Size{600, 400}));
  const std::vector<std::uint8_t> again(window.GetCanvas()->Pixels(), window.GetCanvas()->Pixels() + 600 * 400 * 4);
  EXPECT_TRUE(again == at100);
}

TEST(DisplayScale, LinuxSourcesInTheirOrder) {
  struct Case {
    const char* what;
    std::optional<std::string_view> forced, gdk, resources;
    double scale;
  };
  const Case cases[] = {
      {"nothing says", std::nullopt, std::nullopt, std::nullopt, 1.0},
      {"Xft.dpi 144", std::nullopt, std::nullopt, "Xft.antialias:\t1\nXft.dpi:\t144\n", 1.5},
      {"Xft.dpi 192", std::nullopt, std::nullopt, "Xft.dpi: 192\n", 2.0},
      {"Xft.dpi below 96 stays 1", std::nullopt, std::nullopt, "Xft.dpi:\t72\n", 1.0},
      {"GDK_SCALE before Xft.dpi", std::nullopt, "2", "Xft.dpi:\t144\n", 2.0},
      {"GDK_SCALE takes whole numbers only", std::nullopt, "1.5", "Xft.dpi:\t120\n", 1.25},
      {"TALVORIN_SCALE before all", "1.5", "2", "Xft.dpi:\t192\n", 1.5},
      {"an unusable forced value is skipped", "big", std::nullopt, "Xft.dpi:\t192\n", 2.0},
      {"kept within 4", "9", std::nullopt, std::nullopt, 4.0},
      {"rounded to a quarter", "1.3", std::nullopt, std::nullopt, 1.25},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ui::ChooseDisplayScale(c.forced, c.gdk, c.resources), c.scale) << c.what;
  }
}

}  // namespace
