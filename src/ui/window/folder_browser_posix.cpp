#include "ui/window/folder_browser.h"

#include "support/debug_log.h"

namespace Installer {

std::optional<std::wstring> BrowseForFolder(const std::wstring& title, const std::wstring&) {
  DEBUG_LOG(L"%s: no folder chooser on this system; the folder is typed into the field", title.c_str());
  return std::nullopt;
}

}  // namespace Installer
