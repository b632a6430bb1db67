// The software renderer on the installing page: a full 600 × 400 frame
// (background, the animation frame, the progress text and the 9-slice
// progress bar, all from the skin this program carries) and one animation
// tick (the 160 × 160 square repainted under a clip, as the dirty-region
// repaint does every 24 ms). Measured against cairo 1.16 (pixman) drawing the
// same images and text in the same run, and against copying the finished
// frame with memcpy, the floor no renderer can beat.
//
//   ui_render_bench [ignored] [rounds]      (the arguments scripts/bench.sh passes)
//
// cairo gets the colour-key mask applied once when its images are prepared,
// since it has no such operation; ours applies it while drawing.
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/text.h"
#include "ui/framework/canvas.h"
#include "ui/framework/font.h"
#include "ui/framework/image.h"
#include "ui/skin_package.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 400;
constexpr Ui::Rect kAnimation{220, 98, 380, 258};
constexpr Ui::Rect kText{120, 300, 480, 330};
constexpr Ui::Rect kBar{40, 350, 560, 358};
constexpr int kPercent = 42;
const wchar_t* const kMessage = L"正在安装中:42%，请稍候...";

std::shared_ptr<Ui::Image> Load(const std::wstring& path) {
  auto bytes = Ui::ReadSkinFile(path);
  if (!bytes) {
    std::fprintf(stderr, "missing from the skin: %ls\n", path.c_str());
    std::exit(1);
  }
  return Ui::Image::Decode(std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
}

struct Assets {
  std::shared_ptr<Ui::Image> background;
  std::vector<std::shared_ptr<Ui::Image>> frames;
  std::shared_ptr<Ui::Image> barBack;
  std::shared_ptr<Ui::Image> barFore;
  std::shared_ptr<Ui::Font> font;
};

Assets LoadAssets() {
  Assets a;
  a.background = Load(L"res\\mainWnd\\bg3.png");
  for (int i = 0; i < 25; ++i) {
    wchar_t name[64];
    std::swprintf(name, 64, L"res\\mainWnd\\installBtnAnimate\\%.3d.png", i);
    a.frames.push_back(Load(name));
  }
  a.barBack = Load(L"res\\mainWnd\\installPrg1.png");
  a.barFore = Load(L"res\\mainWnd\\installPrg2.png");
  Ui::FontDescription description;
  description.name = L"微软雅黑";
  description.size = 18;
  a.font = Ui::Font::Create(description);
  return a;
}

// Our renderer, as the controls of the installing page paint themselves.
void PaintOurs(Ui::Canvas& canvas, const Assets& a, int frame) {
  Ui::ImageAttribute plain;
  plain.file = L"x";
  canvas.DrawImage(*a.background, plain, {0, 0, kWidth, kHeight});
  canvas.DrawImage(*a.frames[static_cast<std::size_t>(frame)], plain, kAnimation);
  canvas.DrawText(*a.font, kMessage, kText, 0xFF282A43,
                  Ui::kTextCenter | Ui::kTextVCenter | Ui::kTextSingleLine);
  Ui::ImageAttribute bar = plain;
  bar.corner = {2, 2, 2, 2};
  bar.mask = 0xFF0000;
  canvas.DrawImage(*a.barBack, bar, kBar);
  const int filled = kBar.Width() * kPercent / 100;  // the foreground is cut, not stretched
  bar.source = Ui::Rect{0, 0, filled, kBar.Height()};
  bar.dest = Ui::Rect{0, 0, filled, kBar.Height()};
  canvas.DrawImage(*a.barFore, bar, kBar);
}

// cairo's surfaces for the same images (premultiplied ARGB32, native order).
cairo_surface_t* ToCairo(const Ui::Image& image, bool maskRed) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.Width(), image.Height());
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const std::uint8_t* p = image.Pixels() + (static_cast<std::size_t>(y) * image.Width() + x) * 4;
      std::uint32_t argb = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
                           static_cast<std::uint32_t>(p[1]) << 8 | p[2];
      if (maskRed && argb == 0xFFFF0000u) argb = 0;
      std::memcpy(data + y * stride + x * 4, &argb, 4);
    }
  }
  cairo_surface_mark_dirty(s);
  return s;
}

struct CairoAssets {
  cairo_surface_t* background;
  std::vector<cairo_surface_t*> frames;
  cairo_surface_t* barBack;
  cairo_surface_t* barFore;
};

// One piece of a 9-slice drawing: source rectangle scaled onto the destination.
void CairoPiece(cairo_t* cr, cairo_surface_t* s, double sx, double sy, double sw, double sh, double dx,
                double dy, double dw, double dh) {
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  cairo_save(cr);
  cairo_rectangle(cr, dx, dy, dw, dh);
  cairo_clip(cr);
  cairo_translate(cr, dx, dy);
  cairo_scale(cr, dw / sw, dh / sh);
  cairo_set_source_surface(cr, s, -sx, -sy);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
}

void CairoNineSlice(cairo_t* cr, cairo_surface_t* s, int sw, int sh, Ui::Rect d, int corner) {
  const double sx[3] = {0, static_cast<double>(corner), static_cast<double>(sw - corner)};
  const double sws[3] = {static_cast<double>(corner), static_cast<double>(sw - 2 * corner),
                         static_cast<double>(corner)};
  const double sy[3] = {0, static_cast<double>(corner), static_cast<double>(sh - corner)};
  const double shs[3] = {static_cast<double>(corner), static_cast<double>(sh - 2 * corner),
                         static_cast<double>(corner)};
  const double dx[3] = {static_cast<double>(d.left), static_cast<double>(d.left + corner),
                        static_cast<double>(d.right - corner)};
  const double dws[3] = {static_cast<double>(corner), static_cast<double>(d.Width() - 2 * corner),
                         static_cast<double>(corner)};
  const double dy[3] = {static_cast<double>(d.top), static_cast<double>(d.top + corner),
                        static_cast<double>(d.bottom - corner)};
  const double dhs[3] = {static_cast<double>(corner), static_cast<double>(d.Height() - 2 * corner),
                         static_cast<double>(corner)};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) CairoPiece(cr, s, sx[c], sy[r], sws[c], shs[r], dx[c], dy[r], dws[c], dhs[r]);
  }
}

void PaintCairo(cairo_t* cr, const CairoAssets& a, const Assets& ours, int frame, const std::string& text) {
  cairo_set_source_surface(cr, a.background, 0, 0);
  cairo_paint(cr);
  cairo_set_source_surface(cr, a.frames[static_cast<std::size_t>(frame)], kAnimation.left, kAnimation.top);
  cairo_paint(cr);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);
  cairo_set_source_rgb(cr, 0x28 / 255.0, 0x2A / 255.0, 0x43 / 255.0);
  cairo_move_to(cr, kText.left + (kText.Width() - extents.x_advance) / 2,
                kText.top + (kText.Height() - (font.ascent + font.descent)) / 2 + font.ascent);
  cairo_show_text(cr, text.c_str());
  CairoNineSlice(cr, a.barBack, ours.barBack->Width(), ours.barBack->Height(), kBar, 2);
  const int filled = kBar.Width() * kPercent / 100;
  cairo_save(cr);
  cairo_rectangle(cr, kBar.left, kBar.top, filled, kBar.Height());
  cairo_clip(cr);
  CairoNineSlice(cr, a.barFore, ours.barFore->Width(), ours.barFore->Height(), kBar, 2);
  cairo_restore(cr);
}

template <typename Work>
double MedianMs(int rounds, Work work) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    work(i);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 2 ? std::max(std::atoi(argv[2]), 1) * 100 : 300;
  const Assets assets = LoadAssets();
  if (!assets.font->HasFace()) {
    std::fprintf(stderr, "no font face for the skin's font\n");
    return 1;
  }
  CairoAssets cairoAssets{ToCairo(*assets.background, false), {}, ToCairo(*assets.barBack, true),
                          ToCairo(*assets.barFore, true)};
  for (const auto& f : assets.frames) cairoAssets.frames.push_back(ToCairo(*f, false));

  Ui::Canvas canvas(kWidth, kHeight);
  const double oursFull = MedianMs(rounds, [&](int i) {
    canvas.ResetClip();
    PaintOurs(canvas, assets, i % 25);
  });
  const double oursTick = MedianMs(rounds, [&](int i) {
    canvas.SetClip(kAnimation);
    PaintOurs(canvas, assets, i % 25);
  });

  cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
  cairo_t* cr = cairo_create(target);
  cairo_select_font_face(cr, "微软雅黑", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 18);
  const std::string text = Utils::ToNarrow(kMessage, Utils::kCodePageUtf8);
  const double cairoFull = MedianMs(rounds, [&](int i) {
    PaintCairo(cr, cairoAssets, assets, i % 25, text);
    cairo_surface_flush(target);
  });
  const double cairoTick = MedianMs(rounds, [&](int i) {
    cairo_save(cr);
    cairo_rectangle(cr, kAnimation.left, kAnimation.top, kAnimation.Width(), kAnimation.Height());
    cairo_clip(cr);
    PaintCairo(cr, cairoAssets, assets, i % 25, text);
    cairo_restore(cr);
    cairo_surface_flush(target);
  });

  std::vector<std::uint8_t> copy(static_cast<std::size_t>(kWidth) * kHeight * 4);
  const double memcpyFull = MedianMs(rounds * 10, [&](int i) {
    canvas.Pixels()[0] = static_cast<std::uint8_t>(i);  // a fresh frame each time
    std::memcpy(copy.data(), canvas.Pixels(), copy.size());
  });

  // The two renderers must have drawn the same picture outside the text.
  canvas.ResetClip();
  PaintOurs(canvas, assets, 0);
  PaintCairo(cr, cairoAssets, assets, 0, text);
  cairo_surface_flush(target);
  long differing = 0;
  const unsigned char* theirs = cairo_image_surface_get_data(target);
  const int stride = cairo_image_surface_get_stride(target);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (kText.Contains(x, y)) continue;
      const std::uint8_t* p = canvas.Pixels() + (static_cast<std::size_t>(y) * kWidth + x) * 4;
      std::uint32_t argb;
      std::memcpy(&argb, theirs + y * stride + x * 4, 4);
      const std::uint32_t mine = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
                                 static_cast<std::uint32_t>(p[1]) << 8 | p[2];
      if (mine != argb) ++differing;
    }
  }

  std::printf("ui_render_bench: median of %d rounds, %d x %d installing page\n", rounds, kWidth, kHeight);
  std::printf("  full frame       ours %7.3f ms   cairo %7.3f ms   ratio %.2f   (goal <= 4 ms)\n", oursFull,
              cairoFull, oursFull / cairoFull);
  std::printf("  animation tick   ours %7.3f ms   cairo %7.3f ms   ratio %.2f   (160 x 160 under a clip)\n",
              oursTick, cairoTick, oursTick / cairoTick);
  std::printf("  memcpy of one finished frame %.3f ms: ours is %.1f times that floor\n", memcpyFull,
              oursFull / memcpyFull);
  std::printf("  pixels outside the text that differ from cairo's: %ld of %d\n", differing,
              kWidth * kHeight - kText.Width() * kText.Height());

  cairo_destroy(cr);
  cairo_surface_destroy(target);
  cairo_surface_destroy(cairoAssets.background);
  cairo_surface_destroy(cairoAssets.barBack);
  cairo_surface_destroy(cairoAssets.barFore);
  for (auto* s : cairoAssets.frames) cairo_surface_destroy(s);
  return 0;
}
