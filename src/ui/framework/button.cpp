#include "ui/framework/button.h"

#include "ui/framework/attribute_values.h"
#include "ui/framework/canvas.h"
#include "ui/framework/container.h"
#include "ui/framework/window.h"

namespace Ui {

Button::Button() { textStyle_ = kTextCenter | kTextVCenter | kTextSingleLine; }

void Button::SetAttribute(std::wstring_view name, std::wstring_view value) {
  auto color = [&](Color& target) {
    if (auto c = ParseColorValue(value)) target = *c;
    Invalidate();
  };
  auto image = [&](std::optional<ImageAttribute>& target) {
    target = ParseImageAttribute(value);
    Invalidate();
  };
  if (NameEquals(name, L"normalimage")) {
    image(normalImage_);
  } else if (NameEquals(name, L"hotimage")) {
    image(hotImage_);
  } else if (NameEquals(name, L"pushedimage")) {
    image(pushedImage_);
  } else if (NameEquals(name, L"focusedimage")) {
    image(focusedImage_);
  } else if (NameEquals(name, L"disabledimage")) {
    image(disabledImage_);
  } else if (NameEquals(name, L"hottextcolor")) {
    color(hotTextColor_);
  } else if (NameEquals(name, L"pushedtextcolor")) {
    color(pushedTextColor_);
  } else if (NameEquals(name, L"focusedtextcolor")) {
    color(focusedTextColor_);
  } else if (NameEquals(name, L"hotbkcolor")) {
    color(hotBkColor_);
  } else if (NameEquals(name, L"pushedbkcolor")) {
    color(pushedBkColor_);
  } else if (NameEquals(name, L"hotbordercolor")) {
    color(hotBorderColor_);
  } else if (NameEquals(name, L"pushedbordercolor")) {
    color(pushedBorderColor_);
  } else {
    Label::SetAttribute(name, value);
  }
}

bool Button::Activate() {
  if (!IsEffectivelyEnabled() || !IsShown()) return false;
  if (Window* window = GetWindow()) window->SendNotify(this, L"click");
  return true;
}

void Button::DoEvent(const ControlEvent& event) {
  if (!IsEffectivelyEnabled()) {
    if (event.type == EventType::kTimer) Label::DoEvent(event);
    return;
  }
  switch (event.type) {
    case EventType::kMouseEnter:
      SetState(kStateHot, true);
      break;
    case EventType::kMouseLeave:
      SetState(kStateHot, false);
      break;
    case EventType::kButtonDown:
      SetState(kStatePushed | kStateCaptured, true);
      break;
    case EventType::kMouseMove:
      if ((State() & kStateCaptured) != 0) {
        SetState(kStatePushed, Position().Contains(event.point.x, event.point.y));
      }
      break;
    case EventType::kButtonUp: {
      const bool wasCaptured = (State() & kStateCaptured) != 0;
      SetState(kStatePushed | kStateCaptured, false);
      if (wasCaptured && Position().Contains(event.point.x, event.point.y)) Activate();
      break;
    }
    case EventType::kKeyDown:
      if (TakesKey(event.key)) Activate();
      break;
    case EventType::kSetFocus:
      SetState(kStateFocused, true);
      break;
    case EventType::kKillFocus:
      SetState(kStateFocused | kStatePushed | kStateCaptured, false);
      break;
    default:
      Label::DoEvent(event);
      break;
  }
}

const std::optional<ImageAttribute>& Button::StateImage() const {
  const unsigned s = State();
  if (!IsEffectivelyEnabled() && disabledImage_) return disabledImage_;
  if ((s & kStatePushed) != 0 && pushedImage_) return pushedImage_;
  if ((s & kStateHot) != 0 && hotImage_) return hotImage_;
  if ((s & kStateFocused) != 0 && focusedImage_) return focusedImage_;
  return normalImage_;
}

void Button::PaintBkColor(Canvas& canvas) {
  const unsigned s = State();
  Color color = BkColor();
  if (IsEffectivelyEnabled()) {
    if ((s & kStatePushed) != 0 && ColorAlpha(pushedBkColor_) != 0) {
      color = pushedBkColor_;
    } else if ((s & kStateHot) != 0 && ColorAlpha(hotBkColor_) != 0) {
      color = hotBkColor_;
    }
  }
  if (ColorAlpha(color) == 0) return;
  const Size round = BorderRound();
  if (round.cx > 0 || round.cy > 0) {
    canvas.FillRoundRect(Position(), round.cx / 2, round.cy / 2, color);
  } else {
    canvas.FillRect(Position(), color);
  }
}

void Button::PaintStatusImage(Canvas& canvas) {
  if (!DrawImage(canvas, StateImage()) && &StateImage() != &normalImage_) DrawImage(canvas, normalImage_);
}

void Button::PaintBorder(Canvas& canvas) {
  const unsigned s = State();
  Color color = BorderColor();
  if ((s & kStatePushed) != 0 && ColorAlpha(pushedBorderColor_) != 0) {
    color = pushedBorderColor_;
  } else if ((s & kStateHot) != 0 && ColorAlpha(hotBorderColor_) != 0) {
    color = hotBorderColor_;
  } else if ((s & kStateFocused) != 0 && ColorAlpha(focusBorderColor_) != 0) {
    color = focusBorderColor_;
  }
  if (BorderSize() <= 0 || ColorAlpha(color) == 0) return;
  canvas.DrawBorder(Position(), BorderSize(), BorderRound().cx / 2, BorderRound().cy / 2, color);
}

Color Button::CurrentTextColor() const {
  const unsigned s = State();
  if (!IsEffectivelyEnabled()) return Label::CurrentTextColor();
  if ((s & kStatePushed) != 0 && ColorAlpha(pushedTextColor_) != 0) return pushedTextColor_;
  if ((s & kStateHot) != 0 && ColorAlpha(hotTextColor_) != 0) return hotTextColor_;
  if ((s & kStateFocused) != 0 && ColorAlpha(focusedTextColor_) != 0) return focusedTextColor_;
  return Label::CurrentTextColor();
}

// ---- CheckBox ------------------------------------------------------------------------

void CheckBox::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"selected")) {
    Selected(ParseBoolValue(value), false);
  } else if (NameEquals(name, L"selectedimage")) {
    selectedImage_ = ParseImageAttribute(value);
    Invalidate();
  } else if (NameEquals(name, L"selectedhotimage")) {
    selectedHotImage_ = ParseImageAttribute(value);
    Invalidate();
  } else if (NameEquals(name, L"selectedtextcolor")) {
    if (auto c = ParseColorValue(value)) selectedTextColor_ = *c;
    Invalidate();
  } else if (NameEquals(name, L"group")) {
    group_ = std::wstring(value);
  } else {
    Button::SetAttribute(name, value);
  }
}

void CheckBox::Selected(bool selected, bool notify) {
  if (selected == IsSelected()) return;
  SetState(kStateSelected, selected);
  if (Window* window = GetWindow()) window->AccessibleChanged(this, AccessibleChange::kState);
  Window* window = GetWindow();
  if (selected && !group_.empty() && window != nullptr && window->Root() != nullptr) {
    // Radio behaviour: the other members of the group let go.
    std::vector<Control*> stack{window->Root()};
    while (!stack.empty()) {
      Control* c = stack.back();
      stack.pop_back();
      if (auto* box = dynamic_cast<CheckBox*>(c); box != nullptr && box != this && box->group_ == group_) {
        box->Selected(false, notify);
      }
      if (Container* container = c->AsContainer()) {
        for (std::size_t i = 0; i < container->Count(); ++i) stack.push_back(container->ItemAt(i));
      }
    }
  }
  if (notify && window != nullptr) window->SendNotify(this, L"selectchanged");
}

bool CheckBox::Activate() {
  if (!Button::Activate()) return false;
  // A group member is a radio button: clicking the selected one keeps it.
  if (!group_.empty()) {
    Selected(true);
  } else {
    Selected(!IsSelected());
  }
  return true;
}

void CheckBox::PaintStatusImage(Canvas& canvas) {
  if (IsSelected()) {
    if ((State() & kStateHot) != 0 && DrawImage(canvas, selectedHotImage_)) return;
    if (DrawImage(canvas, selectedImage_)) return;
  }
  Button::PaintStatusImage(canvas);
}

Color CheckBox::CurrentTextColor() const {
  if (IsSelected() && IsEffectivelyEnabled() && ColorAlpha(selectedTextColor_) != 0 &&
      (State() & (kStateHot | kStatePushed)) == 0) {
    return selectedTextColor_;
  }
  return Button::CurrentTextColor();
}

}  // namespace Ui
