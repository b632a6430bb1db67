// Each page and dialog paints what the layout describes: spot checks of the
// pixels of the parts that matter (button faces, text, the progress bar),
// and repainting a dirty part gives the same picture as a full repaint.
// Where the system has no font face at all (Wine ships no Windows fonts)
// the checks of text are left out; images and colours are still checked.
#include <gtest/gtest.h>

#include "ui/framework/canvas.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/progress.h"

namespace {

using Ui::Rect;

// How many pixels of `r` are close to `color` (each channel within 40).
int CountNear(const Ui::Canvas& canvas, const Rect& r, Ui::Color color) {
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const Ui::Color p = canvas.PixelAt(x, y);
      auto near = [](int a, int b) { return std::abs(a - b) <= 40; };
      if (Ui::ColorAlpha(p) == 255 && near(Ui::ColorRed(p), Ui::ColorRed(color)) &&
          near(Ui::ColorGreen(p), Ui::ColorGreen(color)) && near(Ui::ColorBlue(p), Ui::ColorBlue(color))) {
        ++count;
      }
    }
  }
  return count;
}

// Pixels darker than the light backgrounds: text.
int CountDark(const Ui::Canvas& canvas, const Rect& r) {
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const Ui::Color p = canvas.PixelAt(x, y);
      if (Ui::ColorRed(p) < 140 && Ui::ColorGreen(p) < 140) ++count;
    }
  }
  return count;
}

Rect Inner(const Ui::Control* c, int by) {
  const Rect& r = c->Position();
  return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

TEST(FrameworkPaint, EveryPageShowsItsControls) {
  Ui::OffscreenEnvironment environment;
  FrameworkTest::SkinWindow window(L"MainWnd.xml");
  ASSERT_TRUE(window.Create(environment, nullptr));
  const Ui::Canvas& canvas = *window.GetCanvas();
  const Ui::Color installBlue = 0xFF3A86F8u;  // the middle of the install button's face
  const bool text = window.GetFont(0)->HasFace();

  FrameworkTest::ShowMainPage(window, 0);
  environment.RunUntilIdle();
  // The window is opaque everywhere (no transparent holes in the body).
  EXPECT_EQ(Ui::ColorAlpha(canvas.PixelAt(0, 0)), 255);
  EXPECT_EQ(Ui::ColorAlpha(canvas.PixelAt(599, 399)), 255);
  const Ui::Control* install = window.FindControl(L"defaultInstallBtn");
  EXPECT_GT(CountNear(canvas, Inner(install, 8), installBlue), 200);
  if (text) {
    EXPECT_GT(CountNear(canvas, Inner(install, 8), 0xFFFFFFFFu), 30);  // its white text
    EXPECT_GT(CountDark(canvas, window.FindControl(L"customeBtn")->Position()), 20);
  }

  FrameworkTest::ShowMainPage(window, 1);
  auto* edit = window.Find<Ui::Edit>(L"installDirEdit");
  edit->SetText(L"C:\\Program Files\\Talvorin");
  environment.RunUntilIdle();
  // The folder text set while its page was hidden shows from its start.
  const Rect& e = edit->Position();
  if (text) {
    EXPECT_GT(CountDark(canvas, {e.left + 9, e.top, e.left + 60, e.bottom}), 20);
  }
  EXPECT_GT(CountDark(canvas, window.FindControl(L"createDSCb")->Position()), 20);
  EXPECT_GT(CountNear(canvas, Inner(window.FindControl(L"customeInstallBtn"), 8), installBlue), 200);
  EXPECT_GT(CountDark(canvas, window.FindControl(L"backBtn")->Position()), 10);

  FrameworkTest::ShowMainPage(window, 2);
  auto* bar = window.Find<Ui::Progress>(L"installPrg");
  bar->SetValue(50);
  environment.RunUntilIdle();
  const Rect& b = bar->Position();
  const int doneBlue = CountNear(canvas, {b.left + 4, b.top + 2, b.left + b.Width() / 2 - 4, b.bottom - 2}, 0xFF3A86F8u);
  const int restBlue = CountNear(canvas, {b.left + b.Width() / 2 + 4, b.top + 2, b.right - 4, b.bottom - 2}, 0xFF3A86F8u);
  EXPECT_GT(doneBlue, 500);
  EXPECT_EQ(restBlue, 0);
  if (text) {
    EXPECT_GT(CountDark(canvas, window.FindControl(L"progressLb")->Position()), 100);
  }

  FrameworkTest::ShowMainPage(window, 3);
  environment.RunUntilIdle();
  EXPECT_GT(CountNear(canvas, Inner(window.FindControl(L"openProduceBtn"), 8), installBlue), 200);
}

TEST(FrameworkPaint, DialogButtonsShowTheirFaces) {
  Ui::OffscreenEnvironment environment;
  FrameworkTest::SkinWindow window(L"ExitTipWnd.xml");
  ASSERT_TRUE(window.Create(environment, nullptr));
  environment.RunUntilIdle();
  const Ui::Canvas& canvas = *window.GetCanvas();
  // "否" is the primary button: a blue face; "是" the secondary: white with a blue border.
  const Ui::Control* yes = window.FindControl(L"okBtn");
  const Ui::Control* no = window.FindControl(L"cancelBtn");
  EXPECT_GT(CountNear(canvas, Inner(no, 4), 0xFF1675FEu), 500);
  EXPECT_GT(CountNear(canvas, Inner(yes, 4), 0xFFFFFFFFu), 500);
  const Rect& y = yes->Position();
  EXPECT_GT(CountNear(canvas, {y.left + 4, y.top, y.right - 4, y.top + 1}, 0xFF1890FFu), 50);
  // Hovering the primary button lightens it.
  Ui::OffscreenHost* host = environment.HostOf(window);
  host->MouseMove({(no->Position().left + no->Position().right) / 2, no->Position().top + 5});
  environment.RunUntilIdle();
  EXPECT_GT(CountNear(canvas, Inner(no, 4), 0xFF5A9DFDu), 500);
  if (window.GetFont(0)->HasFace()) {
    EXPECT_GT(CountDark(canvas, window.FindControl(L"textLbl")->Position()), 50);
  }
}

TEST(FrameworkPaint, RepaintingADirtyPartGivesTheSamePictureAsAFullRepaint) {
  Ui::OffscreenEnvironment environment;
  FrameworkTest::SkinWindow window(L"MainWnd.xml");
  ASSERT_TRUE(window.Create(environment, nullptr));
  FrameworkTest::ShowMainPage(window, 1);
  environment.RunUntilIdle();
  Ui::OffscreenHost* host = environment.HostOf(window);
  host->ClickControl(L"createQSCb");  // unticks it: only its rectangle is repainted
  host->MouseMove({5, 390});
  environment.RunUntilIdle();
  const Ui::Canvas& canvas = *window.GetCanvas();
  const std::vector<std::uint8_t> partial(canvas.Pixels(), canvas.Pixels() + 600 * 400 * 4);
  window.Invalidate({0, 0, 600, 400});
  environment.RunUntilIdle();
  const std::vector<std::uint8_t> full(canvas.Pixels(), canvas.Pixels() + 600 * 400 * 4);
  EXPECT_TRUE(partial == full);
}

}  // namespace
