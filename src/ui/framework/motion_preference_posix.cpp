// Linux: the reduced-motion wish.
//  - TALVORIN_REDUCED_MOTION first;
//  - then "gtk-enable-animations" of $XDG_CONFIG_HOME/gtk-3.0/settings.ini
//    (or ~/.config), then gtk-4.0's, the files the desktop's settings write.
#include "ui/framework/motion_preference.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace Ui {

bool SystemPrefersReducedMotion() {
  if (std::optional<bool> forced = ReducedMotionOverride()) return *forced;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    config = std::string(home) + "/.config";
  } else {
    return false;
  }
  for (const char* version : {"gtk-3.0", "gtk-4.0"}) {
    std::ifstream file(config + "/" + version + "/settings.ini", std::ios::binary);
    if (!file) continue;
    std::ostringstream text;
    text << file.rdbuf();
    if (std::optional<bool> enabled = GtkAnimationsEnabled(text.str())) return !*enabled;
  }
  return false;
}

}  // namespace Ui
