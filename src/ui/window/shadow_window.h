// A skinned window's drop shadow, adjusted after the layout set it up. The
// host draws it (on Windows the layered "SkinShadowWnd" window that follows
// the frame); this object holds the values, refuses those out of range and
// hands every accepted change to the host at once.
#pragma once

#include <string>

#include "ui/framework/host.h"

namespace Ui {
class Window;
}

namespace Installer {

class CShadowWindow {
 public:
  // Starts from the shadow the window's layout asked for.
  explicit CShadowWindow(Ui::Window& parent);

  bool SetDarkness(int darkness);    // 0..255
  bool SetSharpness(int sharpness);  // 0..20
  bool SetSize(int size);            // -20..20
  bool SetPosition(int x, int y);    // -20..20 each
  void SetColor(Ui::Color color);
  // An image drawn instead of the computed shadow, with its corner widths.
  void SetImage(const std::wstring& image, const Ui::Rect& corner);
  const Ui::ShadowSettings& Settings() const { return settings_; }

 private:
  void Apply();
  Ui::Window& parent_;
  Ui::ShadowSettings settings_;
};

}  // namespace Installer
