#include "ui/window/installer_window.h"

#include <memory>

#include "support/debug_log.h"
#include "ui/framework/platform_host.h"
#include "ui/window/main_wnd.h"

namespace Installer {

std::optional<int> RunInstallerWindow(const InstallerWindowOptions& options) {
  std::unique_ptr<Ui::IHostFactory> platform;
  Ui::IHostFactory* factory = options.factory;
  if (factory == nullptr) {
    platform = Ui::CreatePlatformHostFactory();
    factory = platform.get();
  }
  if (factory == nullptr) {
    DEBUG_LOG(L"no window can be shown here");
    return std::nullopt;
  }
  CMainWnd window(Ui::SkinPackageReader(), options.recordsKey);
  if (!window.Create(*factory, nullptr)) return std::nullopt;
  window.CenterWindow();
  const int code = window.ShowModal();
  DEBUG_LOG(L"main window closed with %d", code);
  return code;
}

}  // namespace Installer
