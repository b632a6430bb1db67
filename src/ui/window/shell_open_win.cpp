#include "ui/window/shell_open.h"

#include <windows.h>
#include <shellapi.h>

#include "support/debug_log.h"

namespace Installer {

bool ShellOpen(const std::wstring& target, const std::wstring& workingFolder, ShowStyle style) {
  if (target.empty()) return false;
  const int show = style == ShowStyle::kMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", target.c_str(), nullptr,
                                         workingFolder.empty() ? nullptr : workingFolder.c_str(), show);
  const bool ok = reinterpret_cast<INT_PTR>(result) > 32;
  DEBUG_LOG(L"open %s: %s", target.c_str(), ok ? L"started" : L"failed");
  return ok;
}

}  // namespace Installer
