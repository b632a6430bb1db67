#include "ui/window/folder_browser.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <optional>

#include "support/debug_log.h"

namespace Installer {

// The system's dialog is modal: nothing outlives a Browse call.
class FolderBrowser::Chooser {};

FolderBrowser::FolderBrowser(Poster) : chooser_(std::make_unique<Chooser>()) {}

FolderBrowser::~FolderBrowser() = default;

bool FolderBrowser::IsOpen() const { return false; }

void FolderBrowser::Browse(const std::wstring& title, const std::wstring&, Chosen chosen) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  BROWSEINFOW info{};
  info.hwndOwner = GetActiveWindow();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  std::optional<std::wstring> folder;
  if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(list, path)) folder = std::wstring(path);
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  DEBUG_LOG(L"folder chosen: %s", folder ? folder->c_str() : L"(none)");
  if (folder && chosen) chosen(*folder);
}

}  // namespace Installer
