// Before anything else can load a library, the system folder becomes the only
// place libraries are looked for and the libraries the program will use are
// mapped from there, so a planted copy beside the downloaded installer is
// never picked up. Linux's loader does not search the program's folder, so
// there this does nothing.
#pragma once

namespace Installer {

void HardenDllSearchPath();

}  // namespace Installer
