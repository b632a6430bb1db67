// The installer's entry point: everything it does lives in app/entry.cpp.
#include "app/entry.h"

#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#else
int main() {
#endif
  return Installer::RunInstallerProcess({});
}
