// Controls that hold controls: the vertical and horizontal flows and the
// tab layout that shows one child at a time.
//
// Flow rules: a child with a fixed size along the flow gets it; the children
// without one (flexible, like a "Control" spacer without size) share what is
// left equally, the last one taking the remainder, so spacers on both sides
// centre what lies between them. Across the flow a child takes its fixed size
// from the start edge, or the whole breadth. "padding" is a child's outer
// margin, "inset" the container's inner one. Hidden children take no room.
#pragma once

#include <memory>
#include <vector>

#include "ui/framework/control.h"

namespace Ui {

class Container : public Control {
 public:
  std::wstring_view ClassName() const override { return L"Container"; }
  Container* AsContainer() override { return this; }

  // Takes ownership; the child joins this control's window.
  Control* Add(std::unique_ptr<Control> child);
  std::size_t Count() const { return children_.size(); }
  Control* ItemAt(std::size_t index) const;
  int IndexOf(const Control* child) const;

  const Rect& Inset() const { return inset_; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void Paint(Canvas& canvas, const Rect& clip) override;
  Control* FindControlAt(Point point) override;
  void DoInit() override;

 protected:
  Rect InnerRect() const;
  void PlaceFloating(Control& child);
  std::vector<std::unique_ptr<Control>> children_;

 private:
  Rect inset_;
};

class VerticalLayout : public Container {
 public:
  std::wstring_view ClassName() const override { return L"VerticalLayout"; }
  void SetPosition(const Rect& rect) override;
};

class HorizontalLayout : public Container {
 public:
  std::wstring_view ClassName() const override { return L"HorizontalLayout"; }
  void SetPosition(const Rect& rect) override;
};

// Shows the selected child only; each child gets the whole inner rectangle.
// Changing the selection sends "tabselect" (wParam new index, lParam old).
class TabLayout : public Container {
 public:
  std::wstring_view ClassName() const override { return L"TabLayout"; }
  void SetPosition(const Rect& rect) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoInit() override;
  int CurrentSel() const { return current_; }
  // False for an index out of range. Selecting the current page again
  // changes nothing and sends nothing.
  bool SelectItem(int index);

 private:
  int current_ = 0;
};

}  // namespace Ui
