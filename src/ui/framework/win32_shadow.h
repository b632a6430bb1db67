// The layered drop-shadow window that follows a skinned window on Windows.
// Included by the Win32 host only.
#pragma once

#include <windows.h>

#include "ui/framework/host.h"
#include "ui/framework/shadow_picture.h"

namespace Ui {

class Image;

class ShadowWindow {
 public:
  // Registers "SkinShadowWnd" when user32 can put per-pixel alpha on the
  // screen (UpdateLayeredWindow); without it no shadow is ever made.
  static bool Available();

  // Follows `parent`; stays hidden while the parent is hidden, maximised or disabled.
  ShadowWindow(HWND parent, const ShadowSettings& settings, const Image* image);
  ~ShadowWindow();
  ShadowWindow(const ShadowWindow&) = delete;
  ShadowWindow& operator=(const ShadowWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // The parent's window procedure hands each message here before its own handling.
  void OnParentMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Redraw();
  void Move();
  void SetVisible(bool visible);

  HWND parent_;
  HWND hwnd_ = nullptr;
  ShadowSettings settings_;
  const Image* image_;
  ShadowPicture picture_{Rect{}, Canvas(0, 0)};
  SIZE lastSize_{0, 0};
  bool visible_ = false;
  bool redrawPending_ = false;
};

}  // namespace Ui
