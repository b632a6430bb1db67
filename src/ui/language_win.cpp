#include <windows.h>

#include "ui/language.h"

namespace Installer {

std::uint16_t SystemUiLanguage() { return GetUserDefaultUILanguage(); }

}  // namespace Installer
