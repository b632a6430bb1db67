// A drop-down list of texts ("languageCombo"). A click opens the list under
// the box; a click on an item selects it and sends "itemselect" (wParam new
// index, lParam old); Up and Down change the selection while focused;
// Escape, or a click elsewhere, closes the list. Items come from code
// (AddItem) or from child elements of the layout with a "text" attribute.
#pragma once

#include <vector>

#include "ui/framework/button.h"

namespace Ui {

class Combo : public Button {
 public:
  Combo();
  std::wstring_view ClassName() const override { return L"Combo"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoEvent(const ControlEvent& event) override;
  bool Activate() override;
  bool TakesKey(int key) const override {
    return key == Key::kSpace || key == Key::kReturn || key == Key::kUp || key == Key::kDown ||
           (key == Key::kEscape && dropped_);
  }

  void AddItem(std::wstring text);
  void RemoveAll();
  std::size_t Count() const { return items_.size(); }
  const std::wstring& ItemText(std::size_t index) const;
  int CurrentSel() const { return current_; }
  // -1 clears the selection. False for an index out of range.
  bool SelectItem(int index, bool notify = true);
  bool IsDropped() const { return dropped_; }
  void SetDropped(bool dropped);

  Rect PopupRect() const override;
  void PaintPopup(Canvas& canvas) override;
  void ClosePopup() override { SetDropped(false); }

 private:
  int ItemAt(Point point) const;
  int VisibleItems() const;
  std::vector<std::wstring> items_;
  int current_ = -1;
  int hotItem_ = -1;
  bool dropped_ = false;
  int itemHeight_ = 24;
  Color listBkColor_ = 0xFFFFFFFFu;
  Color listBorderColor_ = 0xFFD0D4DCu;
  Color hotItemColor_ = 0xFFE8F1FEu;
  Color itemTextColor_ = 0xFF333333u;
};

}  // namespace Ui
