#include "ui/framework/control.h"

#include "ui/framework/attribute_values.h"
#include "ui/framework/canvas.h"
#include "ui/framework/window.h"

namespace Ui {

Control::Control() = default;

Control::~Control() {
  if (window_ != nullptr) window_->ControlDestroyed(this);
}

void Control::AttachTo(Window* window, Control* parent) {
  window_ = window;
  parent_ = parent;
  if (window_ != nullptr) window_->ControlAttached(this);
}

void Control::SetName(std::wstring name) {
  std::wstring old = std::move(name_);
  name_ = std::move(name);
  if (window_ != nullptr) window_->ControlNameChanged(this, old);
}

void Control::SetPosition(const Rect& rect) {
  if (rect == position_) return;
  Invalidate();
  position_ = rect;
  Invalidate();
}

void Control::SetFixedWidth(int width) {
  width = std::clamp(width, 0, kMaxCoordinate);
  if (width == fixedWidth_) return;
  fixedWidth_ = width;
  NeedParentLayout();
}

void Control::SetFixedHeight(int height) {
  height = std::clamp(height, 0, kMaxCoordinate);
  if (height == fixedHeight_) return;
  fixedHeight_ = height;
  NeedParentLayout();
}

void Control::SetPadding(const Rect& padding) {
  padding_ = padding;
  NeedParentLayout();
}

bool Control::IsShown() const {
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!visible) Invalidate();
  visible_ = visible;
  if (!visible && window_ != nullptr) window_->ControlHidden(this);
  NeedParentLayout();
  if (visible) Invalidate();
  if (window_ != nullptr) window_->AccessibleChanged(this, AccessibleChange::kStructure);
}

bool Control::IsEffectivelyEnabled() const {
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (!c->enabled_) return false;
  }
  return true;
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled) {
    state_ &= ~(kStateHot | kStatePushed);
    if (window_ != nullptr) window_->ControlHidden(this);  // drops focus and capture
  }
  Invalidate();
  if (window_ != nullptr) window_->AccessibleChanged(this, AccessibleChange::kState);
}

void Control::SetFocus() {
  if (window_ != nullptr) window_->SetFocus(this);
}

void Control::SetText(std::wstring text) {
  if (text == text_) return;
  text_ = std::move(text);
  Invalidate();
  if (window_ != nullptr) window_->AccessibleChanged(this, AccessibleChange::kText);
}

void Control::SetAccessibleName(std::wstring name) {
  if (name == accessibleName_) return;
  accessibleName_ = std::move(name);
  if (window_ != nullptr) window_->AccessibleChanged(this, AccessibleChange::kText);
}

void Control::SetBkColor(Color color) {
  bkColor_ = color;
  Invalidate();
}

void Control::SetBkImage(std::wstring_view value) {
  bkImage_ = ParseImageAttribute(value);
  Invalidate();
}

void Control::SetState(unsigned bits, bool on) {
  const unsigned next = on ? (state_ | bits) : (state_ & ~bits);
  if (next == state_) return;
  state_ = next;
  Invalidate();
}

void Control::NeedParentLayout() {
  if (window_ != nullptr) window_->NeedLayout();
}

void Control::Invalidate() {
  if (window_ != nullptr && !position_.IsEmpty()) window_->Invalidate(position_);
}

bool Control::SetTimer(std::uintptr_t id, std::uint32_t intervalMs) {
  return window_ != nullptr && window_->SetTimer(this, id, intervalMs);
}

void Control::KillTimer(std::uintptr_t id) {
  if (window_ != nullptr) window_->KillTimer(this, id);
}

void Control::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"name")) {
    SetName(std::wstring(value));
  } else if (NameEquals(name, L"width")) {
    SetFixedWidth(ParseIntValue(value));
  } else if (NameEquals(name, L"height")) {
    SetFixedHeight(ParseIntValue(value));
  } else if (NameEquals(name, L"pos")) {
    const Rect r = ParseRectValue(value);
    floatPosition_ = r;
    SetFixedWidth(r.right - r.left);
    SetFixedHeight(r.bottom - r.top);
  } else if (NameEquals(name, L"float")) {
    float_ = ParseBoolValue(value);
    NeedParentLayout();
  } else if (NameEquals(name, L"padding")) {
    SetPadding(ParseRectValue(value));
  } else if (NameEquals(name, L"text")) {
    layoutText_ = std::wstring(value);
    SetText(layoutText_);
  } else if (NameEquals(name, L"textid")) {
    const int id = ParseIntValue(value);
    textId_ = id >= 0 ? id : -1;
  } else if (NameEquals(name, L"accname")) {
    layoutAccessibleName_ = std::wstring(value);
    SetAccessibleName(layoutAccessibleName_);
  } else if (NameEquals(name, L"accnameid")) {
    const int id = ParseIntValue(value);
    accessibleNameId_ = id >= 0 ? id : -1;
  } else if (NameEquals(name, L"decorative")) {
    decorative_ = ParseBoolValue(value);
  } else if (NameEquals(name, L"accmessage")) {
    accessibleMessage_ = ParseBoolValue(value);
  } else if (NameEquals(name, L"tooltip")) {
    toolTip_ = std::wstring(value);
  } else if (NameEquals(name, L"userdata")) {
    SetUserData(std::wstring(value));
  } else if (NameEquals(name, L"visible")) {
    SetVisible(ParseBoolValue(value));
  } else if (NameEquals(name, L"default")) {
    default_ = ParseBoolValue(value);
  } else if (NameEquals(name, L"initialfocus")) {
    initialFocus_ = ParseBoolValue(value);
  } else if (NameEquals(name, L"enabled")) {
    SetEnabled(ParseBoolValue(value));
  } else if (NameEquals(name, L"bkcolor")) {
    if (auto c = ParseColorValue(value)) SetBkColor(*c);
  } else if (NameEquals(name, L"bkimage")) {
    SetBkImage(value);
  } else if (NameEquals(name, L"bordercolor")) {
    if (auto c = ParseColorValue(value)) borderColor_ = *c;
  } else if (NameEquals(name, L"focusbordercolor")) {
    if (auto c = ParseColorValue(value)) focusBorderColor_ = *c;
  } else if (NameEquals(name, L"bordersize")) {
    borderSize_ = std::clamp(ParseIntValue(value), 0, 100);
  } else if (NameEquals(name, L"borderround")) {
    const Size s = ParseSizeValue(value);
    borderRound_ = {std::clamp(s.cx, 0, 1000), std::clamp(s.cy, 0, 1000)};
  }
}

void Control::DoEvent(const ControlEvent& event) {
  if (event.type == EventType::kTimer && window_ != nullptr) {
    window_->SendNotify(this, L"timer", event.timerId);
  }
}

void Control::Paint(Canvas& canvas, const Rect& clip) {
  if (position_.Intersect(clip).IsEmpty()) return;
  PaintBkColor(canvas);
  PaintBkImage(canvas);
  PaintStatusImage(canvas);
  PaintText(canvas);
  PaintBorder(canvas);
}

Control* Control::FindControlAt(Point point) {
  if (!visible_ || !position_.Contains(point.x, point.y)) return nullptr;
  return this;
}

void Control::PaintBkColor(Canvas& canvas) {
  if (ColorAlpha(bkColor_) == 0) return;
  if (borderRound_.cx > 0 || borderRound_.cy > 0) {
    canvas.FillRoundRect(position_, borderRound_.cx / 2, borderRound_.cy / 2, bkColor_);
  } else {
    canvas.FillRect(position_, bkColor_);
  }
}

void Control::PaintBkImage(Canvas& canvas) { DrawImage(canvas, bkImage_); }

void Control::PaintBorder(Canvas& canvas) {
  Color color = borderColor_;
  if (IsFocused() && ColorAlpha(focusBorderColor_) != 0) color = focusBorderColor_;
  if (borderSize_ <= 0 || ColorAlpha(color) == 0) return;
  canvas.DrawBorder(position_, borderSize_, borderRound_.cx / 2, borderRound_.cy / 2, color);
}

bool Control::DrawImage(Canvas& canvas, const std::optional<ImageAttribute>& attribute) {
  if (!attribute || window_ == nullptr) return false;
  std::shared_ptr<Image> image = window_->GetImage(attribute->file);
  if (image == nullptr) return false;
  canvas.DrawImage(*image, *attribute, position_);
  return true;
}

}  // namespace Ui
