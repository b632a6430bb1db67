#include <cstdlib>

#include "ui/language.h"

namespace Installer {

// The variables in the order the C library consults them for messages.
std::uint16_t SystemUiLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != 0) return LanguageIdFromLocaleName(value);
  }
  return LanguageIdFromLocaleName("C");
}

}  // namespace Installer
