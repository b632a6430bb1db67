// Linux: the display scale.
//  - TALVORIN_SCALE, then GDK_SCALE, from the environment;
//  - then Xft.dpi from the X server's resource database (what `xrdb -query`
//    shows, set by the desktop from its font DPI setting).
#include "ui/framework/display_scale.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <X11/Xlib.h>

namespace Ui {
namespace {

std::optional<std::string_view> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string_view(value);
}

}  // namespace

double SystemDisplayScale() {
  std::optional<std::string> resources;
  if (!Environment("TALVORIN_SCALE") && !Environment("GDK_SCALE")) {
    if (Display* display = XOpenDisplay(nullptr)) {
      if (const char* text = XResourceManagerString(display)) resources = text;
      XCloseDisplay(display);
    }
  }
  std::optional<std::string_view> resourceText;
  if (resources) resourceText = *resources;
  return ChooseDisplayScale(Environment("TALVORIN_SCALE"), Environment("GDK_SCALE"), resourceText);
}

}  // namespace Ui
