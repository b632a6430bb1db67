// Canvas::DrawImage: the image modifiers of the layouts (source part, "dest",
// 9-slice "corner", "hole", tiling, colour-key "mask" and "fade").
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ui/framework/canvas.h"
#include "ui/framework/image.h"
#include "ui/framework/pixel.h"

namespace Ui {

namespace {

struct Span {
  int srcBegin, srcEnd;  // in the image
  int dstBegin, dstEnd;  // on the canvas
  bool tiled;
};

// Splits a source and a destination range into the three slices of a 9-slice
// drawing. The outer slices keep their size in the image unless the
// destination is too small for both, then they share it in proportion.
void Slices(int srcBegin, int srcEnd, int dstBegin, int dstEnd, int before, int after, bool tiled,
            Span out[3]) {
  const int srcSize = srcEnd - srcBegin;
  const int dstSize = dstEnd - dstBegin;
  if (before + after > srcSize) before = after = 0;  // corners larger than the image mean nothing
  int dstBefore = before;
  int dstAfter = after;
  if (before + after > dstSize) {
    dstBefore = before * dstSize / (before + after);
    dstAfter = dstSize - dstBefore;
  }
  out[0] = {srcBegin, srcBegin + before, dstBegin, dstBegin + dstBefore, false};
  out[1] = {srcBegin + before, srcEnd - after, dstBegin + dstBefore, dstEnd - dstAfter, tiled};
  out[2] = {srcEnd - after, srcEnd, dstEnd - dstAfter, dstEnd, false};
}

// The image coordinate drawn at canvas coordinate `d`: tiles repeat the
// source; stretching samples the source at the destination pixel's centre,
// so the result does not depend on which part of the span is clipped.
int SourceAt(const Span& s, int d) {
  const int srcSize = s.srcEnd - s.srcBegin;
  const int offset = d - s.dstBegin;
  if (s.tiled) return s.srcBegin + offset % srcSize;
  const long long dstSize = s.dstEnd - s.dstBegin;
  return s.srcBegin + static_cast<int>((2LL * offset + 1) * srcSize / (2 * dstSize));
}

// Source over destination for `count` consecutive pixels; runs of opaque
// source pixels are copied.
void BlendRow(const std::uint8_t* src, std::uint8_t* dst, int count) {
  int i = 0;
  while (i < count) {
    int run = i;
    while (run < count && src[static_cast<std::size_t>(run) * 4 + 3] == 255) ++run;
    if (run > i) {
      std::memcpy(dst + static_cast<std::size_t>(i) * 4, src + static_cast<std::size_t>(i) * 4,
                  static_cast<std::size_t>(run - i) * 4);
      i = run;
      continue;
    }
    std::uint8_t* at = dst + static_cast<std::size_t>(i) * 4;
    Pixel::Store(at, Pixel::Over(Pixel::Load(src + static_cast<std::size_t>(i) * 4), Pixel::Load(at)));
    ++i;
  }
}

// A span's source position for device pixel `d`, in image pixels with the
// pixel centres at .5; tiles repeat the source at the canvas's scale.
double SmoothSourceAt(const Span& s, int d, double scale) {
  const double srcSize = s.srcEnd - s.srcBegin;
  const double offset = d - s.dstBegin + 0.5;
  if (s.tiled) return s.srcBegin + std::fmod(offset / scale, srcSize);
  return s.srcBegin + offset * srcSize / (s.dstEnd - s.dstBegin);
}

// Weighted mean of premultiplied pixels (the bilinear filter's four).
std::uint32_t Mix(const std::uint32_t p[4], const double w[4]) {
  double channel[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) {
    channel[0] += ((p[i] >> 0) & 0xFF) * w[i];
    channel[1] += ((p[i] >> 8) & 0xFF) * w[i];
    channel[2] += ((p[i] >> 16) & 0xFF) * w[i];
    channel[3] += ((p[i] >> 24) & 0xFF) * w[i];
  }
  std::uint32_t out = 0;
  for (int c = 0; c < 4; ++c) {
    out |= static_cast<std::uint32_t>(std::clamp(std::lround(channel[c]), 0L, 255L)) << (8 * c);
  }
  return out;
}

}  // namespace

void Canvas::DrawImageSmooth(const Image& image, const ImageAttribute& attribute, const Rect& logicalControl) {
  Rect source{0, 0, image.Width(), image.Height()};
  if (attribute.source) source = attribute.source->Intersect(source);
  const Rect controlRect = ToDevice(logicalControl);
  Rect dest = attribute.dest ? ToDevice(attribute.dest->Offset(logicalControl.left, logicalControl.top)) : controlRect;
  dest = dest.Intersect(controlRect);
  const Rect visible = dest.Intersect(clip_);
  if (source.IsEmpty() || visible.IsEmpty() || attribute.fade == 0) return;

  // The slices as at 1x, their sizes on the canvas scaled.
  const Rect& c = attribute.corner;
  const bool corners = c.left > 0 || c.top > 0 || c.right > 0 || c.bottom > 0;
  auto slices = [&](int srcBegin, int srcEnd, int dstBegin, int dstEnd, int before, int after, bool tiled,
                    Span out[3]) {
    if (before + after > srcEnd - srcBegin) before = after = 0;
    int dstBefore = ToDevice(before);
    int dstAfter = ToDevice(after);
    const int dstSize = dstEnd - dstBegin;
    if (dstBefore + dstAfter > dstSize) {
      dstBefore = before + after > 0 ? before * dstSize / (before + after) : 0;
      dstAfter = dstSize - dstBefore;
    }
    out[0] = {srcBegin, srcBegin + before, dstBegin, dstBegin + dstBefore, false};
    out[1] = {srcBegin + before, srcEnd - after, dstBegin + dstBefore, dstEnd - dstAfter, tiled};
    out[2] = {srcEnd - after, srcEnd, dstEnd - dstAfter, dstEnd, false};
  };
  Span columns[3];
  Span rows[3];
  slices(source.left, source.right, dest.left, dest.right, c.left, c.right, attribute.xtiled, columns);
  slices(source.top, source.bottom, dest.top, dest.bottom, c.top, c.bottom, attribute.ytiled, rows);

  const std::uint32_t fade = attribute.fade;
  const bool masked = attribute.mask.has_value();
  const std::uint32_t maskRgb = masked ? *attribute.mask : 0;
  // One source pixel with the colour key applied.
  auto pixel = [&](int x, int y) {
    std::uint32_t p = Pixel::Load(image.Pixels() + (static_cast<std::size_t>(y) * image.Width() + x) * 4);
    if (masked) {
      const std::uint32_t a = Pixel::Alpha(p);
      const std::uint32_t key =
          Pixel::Pack(Pixel::Div255(ColorRed(maskRgb) * a), Pixel::Div255(ColorGreen(maskRgb) * a),
                      Pixel::Div255(ColorBlue(maskRgb) * a), a);
      if (p == key) p = 0;
    }
    return p;
  };
  for (int row = 0; row < 3; ++row) {
    const Span& rs = rows[row];
    const int top = std::max(rs.dstBegin, visible.top);
    const int bottom = std::min(rs.dstEnd, visible.bottom);
    if (top >= bottom || rs.srcBegin >= rs.srcEnd) continue;
    for (int column = 0; column < 3; ++column) {
      if (attribute.hole && corners && row == 1 && column == 1) continue;
      const Span& cs = columns[column];
      const int left = std::max(cs.dstBegin, visible.left);
      const int right = std::min(cs.dstEnd, visible.right);
      if (left >= right || cs.srcBegin >= cs.srcEnd) continue;
      for (int y = top; y < bottom; ++y) {
        // Bilinear: the four source pixels around the sample point, kept
        // inside the slice so that slices do not bleed into each other.
        const double sy = SmoothSourceAt(rs, y, scale_) - 0.5;
        const int y0 = std::clamp(static_cast<int>(std::floor(sy)), rs.srcBegin, rs.srcEnd - 1);
        const int y1 = std::min(y0 + 1, rs.srcEnd - 1);
        const double fy = std::clamp(sy - y0, 0.0, 1.0);
        std::uint8_t* dst = pixels_.data() + (static_cast<std::size_t>(y) * width_ + left) * 4;
        for (int x = left; x < right; ++x, dst += 4) {
          const double sx = SmoothSourceAt(cs, x, scale_) - 0.5;
          const int x0 = std::clamp(static_cast<int>(std::floor(sx)), cs.srcBegin, cs.srcEnd - 1);
          const int x1 = std::min(x0 + 1, cs.srcEnd - 1);
          const double fx = std::clamp(sx - x0, 0.0, 1.0);
          const std::uint32_t p[4] = {pixel(x0, y0), pixel(x1, y0), pixel(x0, y1), pixel(x1, y1)};
          const double w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
          std::uint32_t mixed = Mix(p, w);
          if (fade != 255) mixed = Pixel::Scale(mixed, fade);
          if (mixed != 0) Pixel::Store(dst, Pixel::Over(mixed, Pixel::Load(dst)));
        }
      }
    }
  }
}

void Canvas::DrawImage(const Image& image, const ImageAttribute& attribute, const Rect& controlRect) {
  if (scale_ != 1.0) {
    DrawImageSmooth(image, attribute, controlRect);
    return;
  }
  Rect source{0, 0, image.Width(), image.Height()};
  if (attribute.source) source = attribute.source->Intersect(source);
  Rect dest = attribute.dest ? attribute.dest->Offset(controlRect.left, controlRect.top) : controlRect;
  dest = dest.Intersect(controlRect);
  const Rect visible = dest.Intersect(clip_);
  if (source.IsEmpty() || visible.IsEmpty() || attribute.fade == 0) return;

  const Rect& c = attribute.corner;
  const bool corners = c.left > 0 || c.top > 0 || c.right > 0 || c.bottom > 0;
  Span columns[3];
  Span rows[3];
  Slices(source.left, source.right, dest.left, dest.right, c.left, c.right, attribute.xtiled, columns);
  Slices(source.top, source.bottom, dest.top, dest.bottom, c.top, c.bottom, attribute.ytiled, rows);

  const std::uint32_t fade = attribute.fade;
  const bool masked = attribute.mask.has_value();
  const std::uint32_t maskRgb = masked ? *attribute.mask : 0;
  std::vector<int> sourceX;
  for (int row = 0; row < 3; ++row) {
    const Span& rs = rows[row];
    const int top = std::max(rs.dstBegin, visible.top);
    const int bottom = std::min(rs.dstEnd, visible.bottom);
    if (top >= bottom || rs.srcBegin >= rs.srcEnd) continue;
    for (int column = 0; column < 3; ++column) {
      if (attribute.hole && corners && row == 1 && column == 1) continue;
      const Span& cs = columns[column];
      const int left = std::max(cs.dstBegin, visible.left);
      const int right = std::min(cs.dstEnd, visible.right);
      if (left >= right || cs.srcBegin >= cs.srcEnd) continue;
      sourceX.resize(static_cast<std::size_t>(right - left));
      for (int x = left; x < right; ++x) sourceX[static_cast<std::size_t>(x - left)] = SourceAt(cs, x);
      // Unscaled, unmasked, unfaded: copy opaque runs whole.
      const bool direct = !masked && fade == 255 && !cs.tiled && cs.srcEnd - cs.srcBegin == cs.dstEnd - cs.dstBegin;
      for (int y = top; y < bottom; ++y) {
        const std::uint8_t* srcRow =
            image.Pixels() + static_cast<std::size_t>(SourceAt(rs, y)) * image.Width() * 4;
        std::uint8_t* dst = pixels_.data() + (static_cast<std::size_t>(y) * width_ + left) * 4;
        if (direct) {
          BlendRow(srcRow + static_cast<std::size_t>(sourceX.front()) * 4, dst, right - left);
          continue;
        }
        for (int x : sourceX) {
          std::uint32_t p = Pixel::Load(srcRow + static_cast<std::size_t>(x) * 4);
          if (masked) {
            // The key colour as it was stored at this pixel's opacity.
            const std::uint32_t a = Pixel::Alpha(p);
            const std::uint32_t key =
                Pixel::Pack(Pixel::Div255(ColorRed(maskRgb) * a), Pixel::Div255(ColorGreen(maskRgb) * a),
                            Pixel::Div255(ColorBlue(maskRgb) * a), a);
            if (p == key) p = 0;
          }
          if (fade != 255) p = Pixel::Scale(p, fade);
          Pixel::Store(dst, Pixel::Over(p, Pixel::Load(dst)));
          dst += 4;
        }
      }
    }
  }
}

}  // namespace Ui
