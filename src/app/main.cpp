// The installer's entry. The window and the installation it drives arrive
// with the window work; until then the program reads its settings and command
// line, reports them to the diagnostic log and says plainly that it cannot
// install yet.
#include <cstdio>

#include "app/command_line.h"
#include "app/installer_settings.h"
#include "support/debug_log.h"

#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#else
int main() {
#endif
  Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
  Installer::applyCommandLine();
  DEBUG_LOG(L"exe=%s url=%s type=%d scale=%f checknet=%d analytics=%d", settings.exeName.c_str(),
            settings.downloadUrl.c_str(), settings.downloadType, settings.downloadScale,
            settings.isCheckNet ? 1 : 0, settings.isEnableAppAnalytics ? 1 : 0);
  std::fputs("talvorin-installer: this build has no installer window yet; nothing was installed.\n",
             stderr);
  return 2;
}
