#include "app/dll_hardening.h"

namespace Installer {

void HardenDllSearchPath() {}

}  // namespace Installer
