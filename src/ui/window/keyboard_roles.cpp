#include "ui/window/keyboard_roles.h"

#include <cwctype>

#include "ui/framework/window.h"

namespace Installer {
namespace {

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

}  // namespace

KeyboardRoles KeyboardRolesOf(std::wstring_view layoutFile) {
  // The main window: the start page's "立即安装", the custom page's folder
  // field (its install button takes Return), the finish page's "立即体验".
  // Escape stays swallowed there.
  if (SameName(layoutFile, L"MainWnd.xml")) {
    return {{L"defaultInstallBtn", L"customeInstallBtn", L"openProduceBtn"}, {L"installDirEdit"}, false};
  }
  // The dialogs start on their primary (blue) button; the message boxes
  // have none but their close button.
  if (SameName(layoutFile, L"ExitTipWnd.xml")) return {{L"cancelBtn"}, {}, true};
  if (SameName(layoutFile, L"NetworkTipWnd.xml") || SameName(layoutFile, L"InstalledPathTipWnd.xml")) {
    return {{L"okBtn"}, {}, true};
  }
  if (SameName(layoutFile, L"MessageBox1Wnd.xml") || SameName(layoutFile, L"MessageBox2Wnd.xml")) {
    return {{L"closebtn"}, {}, true};
  }
  return {};
}

void ApplyKeyboardRoles(Ui::Window& window, const KeyboardRoles& roles) {
  for (const std::wstring& name : roles.defaultButtons) {
    if (Ui::Control* control = window.FindControl(name)) control->SetDefault(true);
  }
  for (const std::wstring& name : roles.initialFocus) {
    if (Ui::Control* control = window.FindControl(name)) control->SetInitialFocus(true);
  }
}

}  // namespace Installer
