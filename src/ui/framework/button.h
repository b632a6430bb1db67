// Buttons and check boxes. A button shows the image and colours of its state
// (normal, hot, pushed, focused, disabled) and sends "click" when the mouse is
// released over it after a press, or on Space or Return while it has the
// focus. A disabled button sends nothing. A check box is a button with a
// selected state: a click sends "click", toggles it and sends "selectchanged".
#pragma once

#include "ui/framework/label.h"

namespace Ui {

class Button : public Label {
 public:
  Button();
  std::wstring_view ClassName() const override { return L"Button"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoEvent(const ControlEvent& event) override;
  bool WantsFocus() const override { return true; }
  bool IsActive() const override { return true; }
  // What a click does: sends "click". Returns false when disabled.
  bool Activate() override;
  bool TakesKey(int key) const override { return key == Key::kSpace || key == Key::kReturn; }

 protected:
  void PaintBkColor(Canvas& canvas) override;
  void PaintStatusImage(Canvas& canvas) override;
  void PaintBorder(Canvas& canvas) override;
  Color CurrentTextColor() const override;
  // The state's image if it has one, else the normal image.
  const std::optional<ImageAttribute>& StateImage() const;

  std::optional<ImageAttribute> normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_;
  Color hotTextColor_ = 0, pushedTextColor_ = 0, focusedTextColor_ = 0;
  Color hotBkColor_ = 0, pushedBkColor_ = 0;
  Color hotBorderColor_ = 0, pushedBorderColor_ = 0;
};

class CheckBox : public Button {
 public:
  std::wstring_view ClassName() const override { return L"CheckBox"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  bool IsSelected() const { return (State() & kStateSelected) != 0; }
  // Sends "selectchanged" when the state changes and `notify` is set.
  void Selected(bool selected, bool notify = true);
  bool Activate() override;
  // Space toggles it; Return is the page's (its default button's).
  bool TakesKey(int key) const override { return key == Key::kSpace; }
  // "group": selecting one member unselects the others of the window.
  const std::wstring& Group() const { return group_; }

 protected:
  void PaintStatusImage(Canvas& canvas) override;
  Color CurrentTextColor() const override;

 private:
  std::optional<ImageAttribute> selectedImage_, selectedHotImage_;
  Color selectedTextColor_ = 0;
  std::wstring group_;
};

}  // namespace Ui
