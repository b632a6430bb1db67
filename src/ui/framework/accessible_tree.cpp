#include "ui/framework/accessible_tree.h"

#include "ui/framework/button.h"
#include "ui/framework/combo.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/label.h"
#include "ui/framework/progress.h"
#include "ui/framework/window.h"

namespace Ui {

namespace {

std::optional<AccessibleRole> RoleOf(const Control& control) {
  // Most derived first: a check box is a button, every text control a label.
  if (dynamic_cast<const Combo*>(&control) != nullptr) return AccessibleRole::kComboBox;
  if (dynamic_cast<const CheckBox*>(&control) != nullptr) return AccessibleRole::kCheckBox;
  if (dynamic_cast<const Button*>(&control) != nullptr) return AccessibleRole::kButton;
  if (dynamic_cast<const Edit*>(&control) != nullptr) return AccessibleRole::kEditableText;
  if (dynamic_cast<const Progress*>(&control) != nullptr) return AccessibleRole::kProgressBar;
  if (const_cast<Control&>(control).AsContainer() != nullptr) return std::nullopt;
  if (!control.AccessibleName().empty() && control.Text().empty()) return AccessibleRole::kImage;
  if (!control.Text().empty() || !control.AccessibleName().empty()) return AccessibleRole::kLabel;
  return std::nullopt;  // a spacer or a nameless picture
}

bool Accepts(const Control& control) {
  const Window* window = control.GetWindow();
  return window != nullptr && window->IsEnabled() && !window->IsClosed() && control.IsShown() &&
         control.IsEffectivelyEnabled() && DescribeControl(control).has_value();
}

void Collect(Control* control, std::vector<Control*>& out) {
  if (control == nullptr || !control->IsVisible()) return;
  if (DescribeControl(*control)) out.push_back(control);
  if (Container* container = control->AsContainer()) {
    for (std::size_t i = 0; i < container->Count(); ++i) Collect(container->ItemAt(i), out);
  }
}

const Control* FindMessage(const Control* control) {
  if (control == nullptr) return nullptr;
  if (control->IsAccessibleMessage()) return control;
  if (Container* container = const_cast<Control*>(control)->AsContainer()) {
    for (std::size_t i = 0; i < container->Count(); ++i) {
      if (const Control* found = FindMessage(container->ItemAt(i))) return found;
    }
  }
  return nullptr;
}

}  // namespace

AccessibleNode DescribeWindow(const Window& window) {
  AccessibleNode node;
  node.role = window.Owner() != nullptr ? AccessibleRole::kDialog : AccessibleRole::kWindow;
  node.name = window.Title();
  if (const Control* message = FindMessage(window.Root())) node.description = message->Text();
  node.states.enabled = window.IsEnabled();
  node.states.visible = window.Host() != nullptr && !window.IsClosed();
  node.bounds = {0, 0, window.Attributes().size.cx, window.Attributes().size.cy};
  return node;
}

std::optional<AccessibleNode> DescribeControl(const Control& control) {
  if (control.IsDecorative()) return std::nullopt;
  const std::optional<AccessibleRole> role = RoleOf(control);
  if (!role) return std::nullopt;
  AccessibleNode node;
  node.control = &control;
  node.role = *role;
  node.name = !control.AccessibleName().empty() ? control.AccessibleName() : control.Text();
  node.bounds = control.Position();
  node.states.visible = control.IsShown();
  node.states.enabled = control.IsEffectivelyEnabled();
  node.states.focusable = control.WantsFocus();
  node.states.focused = control.IsFocused();
  switch (*role) {
    case AccessibleRole::kButton:
      node.action = AccessibleAction::kPress;
      break;
    case AccessibleRole::kCheckBox:
      node.action = AccessibleAction::kToggle;
      node.states.checkable = true;
      node.states.checked = static_cast<const CheckBox&>(control).IsSelected();
      break;
    case AccessibleRole::kEditableText: {
      // Its name is what its neighbouring label says ("accname"), its value the text.
      node.name = control.AccessibleName();
      node.value = control.Text();
      node.states.readOnly = static_cast<const Edit&>(control).IsReadOnly();
      break;
    }
    case AccessibleRole::kComboBox:
      node.name = control.AccessibleName();
      node.value = control.Text();
      break;
    case AccessibleRole::kProgressBar: {
      const auto& progress = static_cast<const Progress&>(control);
      node.range = AccessibleRange{static_cast<double>(progress.Min()), static_cast<double>(progress.Max()),
                                   static_cast<double>(progress.Value())};
      node.value = std::to_wstring(progress.Value());
      break;
    }
    default:
      break;
  }
  return node;
}

std::vector<Control*> AccessibleControls(const Window& window) {
  std::vector<Control*> out;
  Collect(window.Root(), out);
  return out;
}

bool PerformAccessibleAction(Control& control) {
  if (!Accepts(control)) return false;
  if (dynamic_cast<Button*>(&control) == nullptr || dynamic_cast<Combo*>(&control) != nullptr) return false;
  Window* window = control.GetWindow();
  Control* target = &control;
  window->PostTask([window, target] {
    if (window->Contains(target) && target->IsShown() && target->IsEffectivelyEnabled()) target->Activate();
  });
  return true;
}

bool SetAccessibleValue(Control& control, const std::wstring& value) {
  if (!Accepts(control)) return false;
  auto* edit = dynamic_cast<Edit*>(&control);
  if (edit == nullptr || edit->IsReadOnly()) return false;
  Window* window = control.GetWindow();
  window->PostTask([window, edit, value] {
    if (!window->Contains(edit)) return;
    // As if typed: the whole text replaced, "textchanged" sent, "maxchar" kept.
    edit->SetSelection(0, edit->Text().size());
    edit->ReplaceSelection(value);
  });
  return true;
}

bool FocusAccessible(Control& control) {
  if (!Accepts(control) || !control.WantsFocus()) return false;
  Window* window = control.GetWindow();
  Control* target = &control;
  window->PostTask([window, target] {
    if (window->Contains(target)) target->SetFocus();
  });
  return true;
}

const char* AccessibleRoleName(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::kWindow: return "window";
    case AccessibleRole::kDialog: return "dialog";
    case AccessibleRole::kButton: return "button";
    case AccessibleRole::kCheckBox: return "check box";
    case AccessibleRole::kEditableText: return "editable text";
    case AccessibleRole::kProgressBar: return "progress bar";
    case AccessibleRole::kComboBox: return "combo box";
    case AccessibleRole::kLabel: return "label";
    case AccessibleRole::kImage: return "image";
  }
  return "?";
}

const char* AccessibleActionName(AccessibleAction action) {
  switch (action) {
    case AccessibleAction::kPress: return "press";
    case AccessibleAction::kToggle: return "toggle";
    case AccessibleAction::kNone: return "";
  }
  return "";
}

}  // namespace Ui
