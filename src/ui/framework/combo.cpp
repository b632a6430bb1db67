#include "ui/framework/combo.h"

#include "ui/framework/attribute_values.h"
#include "ui/framework/canvas.h"
#include "ui/framework/font.h"
#include "ui/framework/window.h"

namespace Ui {

Combo::Combo() { textStyle_ = kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis; }

void Combo::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"itemheight")) {
    itemHeight_ = std::clamp(ParseIntValue(value), 8, 200);
  } else if (NameEquals(name, L"itemtextcolor")) {
    if (auto c = ParseColorValue(value)) itemTextColor_ = *c;
  } else if (NameEquals(name, L"itemhotbkcolor")) {
    if (auto c = ParseColorValue(value)) hotItemColor_ = *c;
  } else if (NameEquals(name, L"itembkcolor")) {
    if (auto c = ParseColorValue(value)) listBkColor_ = *c;
  } else {
    Button::SetAttribute(name, value);
  }
}

void Combo::AddItem(std::wstring text) { items_.push_back(std::move(text)); }

void Combo::RemoveAll() {
  items_.clear();
  current_ = -1;
  SetText(L"");
  SetDropped(false);
}

const std::wstring& Combo::ItemText(std::size_t index) const {
  static const std::wstring empty;
  return index < items_.size() ? items_[index] : empty;
}

bool Combo::SelectItem(int index, bool notify) {
  if (index < -1 || index >= static_cast<int>(items_.size())) return false;
  if (index == current_) return true;
  const int old = current_;
  current_ = index;
  SetText(index >= 0 ? items_[static_cast<std::size_t>(index)] : std::wstring());
  if (notify) {
    if (Window* window = GetWindow()) window->SendNotify(this, L"itemselect", static_cast<std::uintptr_t>(index), old);
  }
  return true;
}

void Combo::SetDropped(bool dropped) {
  if (dropped && items_.empty()) dropped = false;
  if (dropped == dropped_) return;
  Window* window = GetWindow();
  if (window != nullptr && dropped_) window->Invalidate(PopupRect());
  dropped_ = dropped;
  hotItem_ = -1;
  if (window != nullptr) {
    window->SetPopup(dropped ? this : nullptr);
    if (dropped) window->Invalidate(PopupRect());
  }
  Invalidate();
}

int Combo::VisibleItems() const {
  // As many as the window has room for under the box: the list never
  // scrolls, so an item cut off by the window's edge could not be chosen.
  int rows = static_cast<int>(items_.size());
  const Window* window = GetWindow();
  if (window != nullptr && window->Attributes().size.cy > 0) {
    rows = std::min(rows, std::max(1, (window->Attributes().size.cy - Position().bottom - 2) / itemHeight_));
  }
  return rows;
}

Rect Combo::PopupRect() const {
  const Rect& p = Position();
  const int height = VisibleItems() * itemHeight_ + 2;
  return {p.left, p.bottom, p.right, p.bottom + height};
}

int Combo::ItemAt(Point point) const {
  const Rect popup = PopupRect();
  if (!popup.Contains(point.x, point.y)) return -1;
  const int index = (point.y - popup.top - 1) / itemHeight_;
  return index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
}

bool Combo::Activate() {
  if (!IsEffectivelyEnabled() || !IsShown()) return false;
  SetDropped(!dropped_);
  return true;
}

void Combo::DoEvent(const ControlEvent& event) {
  if (!IsEffectivelyEnabled()) return;
  if (dropped_) {
    const int item = ItemAt(event.point);
    switch (event.type) {
      case EventType::kMouseMove:
        if (item != hotItem_) {
          hotItem_ = item;
          if (GetWindow() != nullptr) GetWindow()->Invalidate(PopupRect());
        }
        if (item >= 0) return;
        break;
      case EventType::kButtonDown:
        if (item >= 0) {
          SelectItem(item);
          SetDropped(false);
          return;
        }
        break;
      case EventType::kButtonUp:
        if (item >= 0) return;
        break;
      case EventType::kKeyDown:
        if (event.key == Key::kEscape) {
          SetDropped(false);
          return;
        }
        break;
      case EventType::kKillFocus:
        SetDropped(false);
        break;
      default:
        break;
    }
  }
  if (event.type == EventType::kKeyDown && (event.key == Key::kUp || event.key == Key::kDown)) {
    const int step = event.key == Key::kUp ? -1 : 1;
    const int next = std::clamp(current_ + step, 0, static_cast<int>(items_.size()) - 1);
    if (!items_.empty()) SelectItem(next);
    return;
  }
  Button::DoEvent(event);
}

void Combo::PaintPopup(Canvas& canvas) {
  if (!dropped_) return;
  const Rect popup = PopupRect();
  canvas.FillRect(popup, listBkColor_);
  canvas.DrawBorder(popup, 1, 0, 0, listBorderColor_);
  std::shared_ptr<Font> font = CurrentFont();
  for (std::size_t i = 0; i < items_.size() && static_cast<int>(i) < VisibleItems(); ++i) {
    const int top = popup.top + 1 + static_cast<int>(i) * itemHeight_;
    const Rect row{popup.left + 1, top, popup.right - 1, top + itemHeight_};
    if (static_cast<int>(i) == hotItem_ || (hotItem_ < 0 && static_cast<int>(i) == current_)) {
      canvas.FillRect(row, hotItemColor_);
    }
    if (font != nullptr) {
      canvas.DrawText(*font, items_[i], {row.left + 6, row.top, row.right - 6, row.bottom}, itemTextColor_,
                      kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
    }
  }
}

}  // namespace Ui
