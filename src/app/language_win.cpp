#include <windows.h>

#include "app/language.h"

namespace Installer {

std::uint16_t SystemUiLanguage() { return GetUserDefaultUILanguage(); }

}  // namespace Installer
