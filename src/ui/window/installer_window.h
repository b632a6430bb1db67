// The installer's window as the program's entry runs it.
#pragma once

#include <optional>
#include <string>

#include "install/record_store.h"

namespace Ui {
class IHostFactory;
}

namespace Installer {

struct InstallerWindowOptions {
  // The hosts to show the window with; nullptr: this system's real windows
  // (Win32, or SDL2 on an X display).
  Ui::IHostFactory* factory = nullptr;
  std::wstring recordsKey = kRecordsKey;
};

// Builds the main window from the skin package, centres it and runs it
// modally: its close code, or nullopt when no window can be shown (Linux
// without a display).
std::optional<int> RunInstallerWindow(const InstallerWindowOptions& options = {});

}  // namespace Installer
