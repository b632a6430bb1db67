// The window as assistive technologies (screen readers) see it, free of any
// system's interface: the window itself, then its shown controls in the
// layout's order, flat, each with a role, a name, states, a value and what
// can be done to it. The platform bridges (accessibility_bridge.h) turn it
// into AT-SPI on Linux and UI Automation on Windows; the window's
// IAccessibleObserver calls say when to read it again.
//
// What is exposed: buttons, check boxes, edits, progress bars and combo
// boxes that show; labels with a text; images with an "accname". Layouts,
// spacers, nameless images and anything marked "decorative" are not.
// A control's name is its "accname" when it has one, else its text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/framework/geometry.h"

namespace Ui {

class Control;
class Window;

enum class AccessibleRole {
  kWindow,        // a top-level window
  kDialog,        // a window with an owner
  kButton,
  kCheckBox,
  kEditableText,
  kProgressBar,
  kComboBox,
  kLabel,
  kImage,
};

struct AccessibleStates {
  bool focusable = false;
  bool focused = false;
  bool checkable = false;
  bool checked = false;
  bool enabled = true;
  bool visible = true;
  bool readOnly = false;
  friend bool operator==(const AccessibleStates&, const AccessibleStates&) = default;
};

struct AccessibleRange {
  double minimum = 0;
  double maximum = 100;
  double value = 0;
};

enum class AccessibleAction {
  kNone,
  kPress,   // a button: what a click does
  kToggle,  // a check box
};

struct AccessibleNode {
  const Control* control = nullptr;  // nullptr: the window itself
  AccessibleRole role = AccessibleRole::kLabel;
  std::wstring name;
  // The window's message (its "accmessage" label), read when it opens.
  std::wstring description;
  std::wstring value;                  // an edit's text, a combo box's choice
  std::optional<AccessibleRange> range;  // a progress bar
  AccessibleStates states;
  AccessibleAction action = AccessibleAction::kNone;
  Rect bounds;  // layout units, relative to the window
};

// The window's own node (role, title as name, message as description).
AccessibleNode DescribeWindow(const Window& window);
// The control's node; nothing when it is not exposed.
std::optional<AccessibleNode> DescribeControl(const Control& control);
// The exposed controls, in the layout's order.
std::vector<Control*> AccessibleControls(const Window& window);

// What an assistive technology asks for. Each answers false when the
// control is not exposed, disabled, or its window takes no input (a modal
// dialog's owner); the work itself runs through Window::PostTask, never
// inside the caller's request, so a dialog the action opens does not hold
// the answer back.
bool PerformAccessibleAction(Control& control);
bool SetAccessibleValue(Control& control, const std::wstring& value);
bool FocusAccessible(Control& control);

// English names of roles and actions, for logs and tests.
const char* AccessibleRoleName(AccessibleRole role);
const char* AccessibleActionName(AccessibleAction action);

}  // namespace Ui
