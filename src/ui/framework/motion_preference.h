// Whether the person asked the system for less animation. Windows: the
// "client area animation" switch (SPI_GETCLIENTAREAANIMATION) off. Linux:
// GTK's "gtk-enable-animations" false in the user's GTK settings file.
// TALVORIN_REDUCED_MOTION=1 (or 0) decides on both, before the system.
#pragma once

#include <optional>
#include <string_view>

namespace Ui {

bool SystemPrefersReducedMotion();

// "gtk-enable-animations" of a GTK settings.ini text ("[Settings]" section):
// false/0/no turn animations off; nothing when it does not say.
std::optional<bool> GtkAnimationsEnabled(std::string_view settingsIni);

// TALVORIN_REDUCED_MOTION's answer: "1"/"true" yes, "0"/"false" no, nothing
// when unset or anything else.
std::optional<bool> ReducedMotionOverride();

}  // namespace Ui
