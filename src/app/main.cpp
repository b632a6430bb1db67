// The installer's entry point: everything it does lives in app/entry.cpp and
// the window in ui/window.
#include "app/entry.h"
#include "app/memory_arenas.h"
#include "ui/window/installer_window.h"

#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#else
int main() {
#endif
  Installer::LimitMemoryArenas();
  return Installer::RunInstallerProcess([] { return Installer::RunInstallerWindow(); });
}
