// Windows: the display scale.
//  - TALVORIN_SCALE forces one, as on Linux;
//  - otherwise the system's DPI over 96 (GetDpiForSystem where user32 has
//    it, else the screen's LOGPIXELSX). The manifest declares per-monitor
//    awareness, so these are the real values, not 96 for every display.
#include "ui/framework/display_scale.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace Ui {

double SystemDisplayScale() {
  if (const char* forced = std::getenv("TALVORIN_SCALE"); forced != nullptr && *forced != '\0') {
    return ChooseDisplayScale(std::string_view(forced), std::nullopt, std::nullopt);
  }
  UINT dpi = 0;
  if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    if (auto getDpi = reinterpret_cast<GetDpiForSystemFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")))) {
      dpi = getDpi();
    }
  }
  if (dpi == 0) {
    if (HDC screen = GetDC(nullptr)) {
      dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
      ReleaseDC(nullptr, screen);
    }
  }
  if (dpi == 0) return 1.0;
  const std::string text = std::to_string(dpi / 96.0);
  return ChooseDisplayScale(std::string_view(text), std::nullopt, std::nullopt);
}

}  // namespace Ui
