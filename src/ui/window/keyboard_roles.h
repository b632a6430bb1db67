// Which control of each of the installer's windows is its main action: the
// default button that Return activates and the control that has the focus
// when a page or dialog opens; and whether Escape answers as the dialog's
// close button. Kept beside the skin's layouts rather than in them so that
// the layouts stay the look alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Ui {
class Window;
}

namespace Installer {

struct KeyboardRoles {
  std::vector<std::wstring> defaultButtons;  // one per page at most
  std::vector<std::wstring> initialFocus;    // where a page starts instead of its default button
  bool escapeClicksClose = false;
};

// The roles of a layout file (case-insensitive name); none for an unknown one.
KeyboardRoles KeyboardRolesOf(std::wstring_view layoutFile);

// Marks the window's controls with the roles of its layout.
void ApplyKeyboardRoles(Ui::Window& window, const KeyboardRoles& roles);

}  // namespace Installer
