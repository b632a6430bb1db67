#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/console_platform.h"
#include "support/system_probes.h"

namespace Installer {

bool HasDisplay() { return DisplayNamed(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY")); }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::uint32_t CheckNetworkHere() { return Utils::CheckNetwork(); }

}  // namespace Installer
