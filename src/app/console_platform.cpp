#include "app/console_platform.h"

namespace Installer {

bool DisplayNamed(const char* x11Display, const char* waylandDisplay) {
  auto named = [](const char* value) { return value != nullptr && value[0] != '\0'; };
  return named(x11Display) || named(waylandDisplay);
}

}  // namespace Installer
