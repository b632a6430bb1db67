#include "ui/framework/canvas.h"

#include <algorithm>
#include <cmath>

#include "ui/framework/pixel.h"

namespace Ui {

namespace {

constexpr int kSamples = 4;  // per axis, for the anti-aliased corners

// How much of pixel (x, y) lies inside the rounded rectangle, 0..255. Pixels
// outside the four corner boxes are fully inside; in a corner box the pixel is
// sampled on a 4 × 4 grid against the corner's ellipse.
int RoundRectCoverage(const Rect& r, int rx, int ry, int x, int y) {
  if (!r.Contains(x, y)) return 0;
  if (rx <= 0 || ry <= 0) return 255;
  double cx = 0;
  double cy = 0;
  if (x < r.left + rx) {
    cx = r.left + rx;
  } else if (x >= r.right - rx) {
    cx = r.right - rx;
  } else {
    return 255;
  }
  if (y < r.top + ry) {
    cy = r.top + ry;
  } else if (y >= r.bottom - ry) {
    cy = r.bottom - ry;
  } else {
    return 255;
  }
  int inside = 0;
  for (int j = 0; j < kSamples; ++j) {
    const double dy = (y + (j + 0.5) / kSamples - cy) / ry;
    for (int i = 0; i < kSamples; ++i) {
      const double dx = (x + (i + 0.5) / kSamples - cx) / rx;
      if (dx * dx + dy * dy <= 1.0) ++inside;
    }
  }
  return (inside * 255 + kSamples * kSamples / 2) / (kSamples * kSamples);
}

// Radii no larger than half the rectangle.
void LimitRadii(const Rect& r, int& rx, int& ry) {
  rx = std::clamp(rx, 0, r.Width() / 2);
  ry = std::clamp(ry, 0, r.Height() / 2);
  if (rx == 0 || ry == 0) rx = ry = 0;
}

}  // namespace

Canvas::Canvas(int width, int height, double scale)
    : scale_(std::clamp(scale, 0.25, 8.0)),
      logicalBounds_{0, 0, std::max(width, 0), std::max(height, 0)},
      width_(static_cast<int>(std::lround(std::max(width, 0) * scale_))),
      height_(static_cast<int>(std::lround(std::max(height, 0) * scale_))),
      clip_{0, 0, width_, height_},
      logicalClip_(logicalBounds_),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4, 0) {}

int Canvas::ToDevice(int length) const {
  if (scale_ == 1.0) return length;
  return static_cast<int>(std::lround(length * scale_));
}

Rect Canvas::ToDevice(const Rect& rect) const {
  if (scale_ == 1.0) return rect;
  return {ToDevice(rect.left), ToDevice(rect.top), ToDevice(rect.right), ToDevice(rect.bottom)};
}

std::uint32_t Canvas::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const std::uint8_t* p = pixels_.data() + (static_cast<std::size_t>(y) * width_ + x) * 4;
  const std::uint32_t a = p[3];
  if (a == 0) return 0;
  auto straight = [a](std::uint32_t v) { return std::min<std::uint32_t>(255, (v * 255 + a / 2) / a); };
  return (a << 24) | (straight(p[0]) << 16) | (straight(p[1]) << 8) | straight(p[2]);
}

void Canvas::SetClip(const Rect& clip) {
  logicalClip_ = clip.Intersect(logicalBounds_);
  clip_ = ToDevice(logicalClip_).Intersect({0, 0, width_, height_});
}

void Canvas::ResetClip() {
  clip_ = {0, 0, width_, height_};
  logicalClip_ = logicalBounds_;
}

void Canvas::Clear(Color color) {
  const std::uint32_t p = Pixel::Premultiply(color);
  for (std::size_t i = 0; i < pixels_.size(); i += 4) Pixel::Store(pixels_.data() + i, p);
}

void Canvas::FillRect(const Rect& rect, Color color) { FillRectPx(ToDevice(rect), color); }

void Canvas::FillRoundRect(const Rect& rect, int radiusX, int radiusY, Color color) {
  FillRoundRectPx(ToDevice(rect), ToDevice(radiusX), ToDevice(radiusY), color);
}

void Canvas::DrawBorder(const Rect& rect, int width, int radiusX, int radiusY, Color color) {
  // A border stays at least a pixel wide at any scale.
  const int px = width > 0 ? std::max(1, ToDevice(width)) : width;
  DrawBorderPx(ToDevice(rect), px, ToDevice(radiusX), ToDevice(radiusY), color);
}

void Canvas::FillRectPx(const Rect& rect, Color color) {
  const Rect area = rect.Intersect(clip_);
  const std::uint32_t src = Pixel::Premultiply(color);
  if (area.IsEmpty() || Pixel::Alpha(src) == 0) return;
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint8_t* row = pixels_.data() + (static_cast<std::size_t>(y) * width_ + area.left) * 4;
    for (int x = area.left; x < area.right; ++x, row += 4) {
      Pixel::Store(row, Pixel::Over(src, Pixel::Load(row)));
    }
  }
}

void Canvas::FillRoundRectPx(const Rect& rect, int radiusX, int radiusY, Color color) {
  LimitRadii(rect, radiusX, radiusY);
  if (radiusX == 0) return FillRectPx(rect, color);
  const Rect area = rect.Intersect(clip_);
  const std::uint32_t src = Pixel::Premultiply(color);
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint8_t* row = pixels_.data() + (static_cast<std::size_t>(y) * width_ + area.left) * 4;
    for (int x = area.left; x < area.right; ++x, row += 4) {
      const int coverage = RoundRectCoverage(rect, radiusX, radiusY, x, y);
      if (coverage == 0) continue;
      const std::uint32_t s = coverage == 255 ? src : Pixel::Scale(src, static_cast<std::uint32_t>(coverage));
      Pixel::Store(row, Pixel::Over(s, Pixel::Load(row)));
    }
  }
}

void Canvas::DrawBorderPx(const Rect& rect, int width, int radiusX, int radiusY, Color color) {
  if (width <= 0 || rect.IsEmpty()) return;
  LimitRadii(rect, radiusX, radiusY);
  const Rect inner{rect.left + width, rect.top + width, rect.right - width, rect.bottom - width};
  if (radiusX == 0) {
    if (inner.IsEmpty()) return FillRectPx(rect, color);
    FillRectPx({rect.left, rect.top, rect.right, inner.top}, color);
    FillRectPx({rect.left, inner.bottom, rect.right, rect.bottom}, color);
    FillRectPx({rect.left, inner.top, inner.left, inner.bottom}, color);
    FillRectPx({inner.right, inner.top, rect.right, inner.bottom}, color);
    return;
  }
  // The ring between the outer rounded rectangle and the inner one, whose
  // radii shrink by the border width so that the ring keeps its thickness.
  int innerRx = std::max(radiusX - width, 0);
  int innerRy = std::max(radiusY - width, 0);
  if (!inner.IsEmpty()) LimitRadii(inner, innerRx, innerRy);
  const Rect area = rect.Intersect(clip_);
  const std::uint32_t src = Pixel::Premultiply(color);
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint8_t* row = pixels_.data() + (static_cast<std::size_t>(y) * width_ + area.left) * 4;
    for (int x = area.left; x < area.right; ++x, row += 4) {
      const int outer = RoundRectCoverage(rect, radiusX, radiusY, x, y);
      const int hole = inner.IsEmpty() ? 0 : RoundRectCoverage(inner, innerRx, innerRy, x, y);
      const int coverage = std::max(outer - hole, 0);
      if (coverage == 0) continue;
      const std::uint32_t s = coverage == 255 ? src : Pixel::Scale(src, static_cast<std::uint32_t>(coverage));
      Pixel::Store(row, Pixel::Over(s, Pixel::Load(row)));
    }
  }
}

}  // namespace Ui
