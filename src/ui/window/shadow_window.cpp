#include "ui/window/shadow_window.h"

#include "ui/framework/window.h"

namespace Installer {
namespace {

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

CShadowWindow::CShadowWindow(Ui::Window& parent) : parent_(parent), settings_(parent.Attributes().shadow) {}

void CShadowWindow::Apply() {
  settings_.enabled = true;
  if (parent_.Host() != nullptr) parent_.Host()->SetShadow(settings_);
}

bool CShadowWindow::SetDarkness(int darkness) {
  if (!InRange(darkness, 0, 255)) return false;
  settings_.darkness = darkness;
  Apply();
  return true;
}

bool CShadowWindow::SetSharpness(int sharpness) {
  if (!InRange(sharpness, 0, 20)) return false;
  settings_.sharpness = sharpness;
  Apply();
  return true;
}

bool CShadowWindow::SetSize(int size) {
  if (!InRange(size, -20, 20)) return false;
  settings_.size = size;
  Apply();
  return true;
}

bool CShadowWindow::SetPosition(int x, int y) {
  if (!InRange(x, -20, 20) || !InRange(y, -20, 20)) return false;
  settings_.offsetX = x;
  settings_.offsetY = y;
  Apply();
  return true;
}

void CShadowWindow::SetColor(Ui::Color color) {
  settings_.color = color;
  Apply();
}

void CShadowWindow::SetImage(const std::wstring& image, const Ui::Rect& corner) {
  settings_.image = image;
  settings_.imageCorner = corner;
  Apply();
}

}  // namespace Installer
