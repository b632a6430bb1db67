// The display's scale for new windows (device pixels per layout unit). On
// Linux: TALVORIN_SCALE forces one; otherwise GDK_SCALE (whole numbers, as
// GTK takes it); otherwise the X resource Xft.dpi over 96. On Windows: the
// DPI of the monitor the window shows on, over 96.
#pragma once

#include <optional>
#include <string_view>

namespace Ui {

// The scale from the three Linux sources, each absent when unset: a forced
// value, GDK_SCALE and the X resources text (as `xrdb -query` prints it).
// Unusable values are skipped; the result is kept within 1 and 4 and
// rounded to a quarter, so that layouts land on whole pixels often.
double ChooseDisplayScale(std::optional<std::string_view> forced, std::optional<std::string_view> gdkScale,
                          std::optional<std::string_view> xResources);

// "Xft.dpi" of an X resources text; nothing when it is not there.
std::optional<double> XftDpi(std::string_view xResources);

}  // namespace Ui

namespace Ui {

// This system's scale for a new window (display_scale_posix.cpp,
// display_scale_win.cpp).
double SystemDisplayScale();

}  // namespace Ui
