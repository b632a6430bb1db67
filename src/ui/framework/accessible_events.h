// What a window tells the assistive technologies' bridges (and tests) about
// changes of its accessible tree (accessible_tree.h). Sent on the window's
// thread, after the change.
#pragma once

namespace Ui {

class Control;

enum class AccessibleChange {
  kFocus,      // the keyboard focus moved to `control` (nullptr: to no control)
  kText,       // the control's text changed: a label's name, an edit's value
  kValue,      // a progress bar's value
  kState,      // checked, enabled
  kStructure,  // a control was shown or hidden: the exposed controls changed (a page change)
  kShown,      // the window shows with its contents in place (control is nullptr)
  kClosed,     // the window closed (control is nullptr)
  kDestroyed,  // the control is going away: forget it
};

class IAccessibleObserver {
 public:
  virtual ~IAccessibleObserver() = default;
  virtual void AccessibleChanged(Control* control, AccessibleChange change) = 0;
};

}  // namespace Ui
