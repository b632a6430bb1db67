// The drop shadow of a skinned window as a premultiplied picture, computed
// once per window size. Portable; the Win32 host puts it on the screen in a
// layered window (win32_shadow_win.cpp).
#pragma once

#include <cstdint>

#include "ui/framework/canvas.h"
#include "ui/framework/geometry.h"
#include "ui/framework/host.h"

namespace Ui {

class Image;

// The opacity the kernel gives a pixel at `distance` from the widened window
// region: full darkness within the hard part (size − sharpness, when size is
// the larger), then falling linearly over sharpness + 1 pixels, nothing beyond
// the radius max(size, sharpness).
std::uint8_t ShadowAlpha(double distance, const ShadowSettings& shadow);

struct ShadowPicture {
  Rect bounds;    // relative to the window's top-left corner (offsets included)
  Canvas canvas;  // bounds' size; transparent where the window itself lies
};

// The computed shadow of a `window`-sized rectangle, or, with `image`, that
// image stretched around the window with its "shadowcorner" widths unscaled.
ShadowPicture RenderShadow(Size window, const ShadowSettings& shadow, const Image* image = nullptr);

}  // namespace Ui
