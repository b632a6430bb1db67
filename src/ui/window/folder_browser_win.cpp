#include "ui/window/folder_browser.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "support/debug_log.h"

namespace Installer {

std::optional<std::wstring> BrowseForFolder(const std::wstring& title, const std::wstring&) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  BROWSEINFOW info{};
  info.hwndOwner = GetActiveWindow();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  std::optional<std::wstring> chosen;
  if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(list, path)) chosen = std::wstring(path);
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  DEBUG_LOG(L"folder chosen: %s", chosen ? chosen->c_str() : L"(none)");
  return chosen;
}

}  // namespace Installer
