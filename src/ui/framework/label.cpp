#include "ui/framework/label.h"

#include "ui/framework/attribute_values.h"
#include "ui/framework/canvas.h"
#include "ui/framework/font.h"
#include "ui/framework/window.h"

namespace Ui {

Label::Label() : textStyle_(kTextLeft | kTextVCenter | kTextSingleLine) {}

void Label::SetText(std::wstring text) {
  Control::SetText(std::move(text));
  if (autoWidth_) FitWidth();
}

void Label::DoInit() {
  if (autoWidth_) FitWidth();
}

void Label::SetFontId(int id) {
  fontId_ = id;
  Invalidate();
  if (autoWidth_) FitWidth();
}

void Label::SetTextColor(Color color) {
  textColor_ = color;
  Invalidate();
}

void Label::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"font")) {
    SetFontId(ParseIntValue(value));
  } else if (NameEquals(name, L"textcolor")) {
    if (auto c = ParseColorValue(value)) SetTextColor(*c);
  } else if (NameEquals(name, L"disabledtextcolor")) {
    if (auto c = ParseColorValue(value)) disabledTextColor_ = *c;
  } else if (NameEquals(name, L"align")) {
    textStyle_ &= ~static_cast<unsigned>(kTextCenter | kTextRight);
    if (NameEquals(value, L"center")) textStyle_ |= kTextCenter;
    if (NameEquals(value, L"right")) textStyle_ |= kTextRight;
  } else if (NameEquals(name, L"valign")) {
    textStyle_ &= ~static_cast<unsigned>(kTextVCenter | kTextBottom);
    if (NameEquals(value, L"center") || NameEquals(value, L"vcenter")) textStyle_ |= kTextVCenter;
    if (NameEquals(value, L"bottom")) textStyle_ |= kTextBottom;
  } else if (NameEquals(name, L"textpadding")) {
    textPadding_ = ParseRectValue(value);
    Invalidate();
  } else if (NameEquals(name, L"multiline")) {
    if (ParseBoolValue(value)) {
      textStyle_ &= ~static_cast<unsigned>(kTextSingleLine);
    } else {
      textStyle_ |= kTextSingleLine;
    }
  } else if (NameEquals(name, L"endellipsis")) {
    if (ParseBoolValue(value)) {
      textStyle_ |= kTextEndEllipsis;
    } else {
      textStyle_ &= ~static_cast<unsigned>(kTextEndEllipsis);
    }
  } else if (NameEquals(name, L"autocalcwidth")) {
    autoWidth_ = ParseBoolValue(value);
    if (autoWidth_) FitWidth();
  } else {
    Control::SetAttribute(name, value);
  }
}

std::shared_ptr<Font> Label::CurrentFont() const {
  Window* window = GetWindow();
  return window != nullptr ? window->GetFont(fontId_) : nullptr;
}

Size Label::MeasureText() const {
  std::shared_ptr<Font> font = CurrentFont();
  if (font == nullptr) return {};
  const int padX = textPadding_.left + textPadding_.right;
  const int padY = textPadding_.top + textPadding_.bottom;
  const bool single = (textStyle_ & kTextSingleLine) != 0;
  const int maxWidth = single || FixedWidth() <= 0 ? 0 : std::max(1, FixedWidth() - padX);
  const Size text = font->Measure(Text(), maxWidth, textStyle_);
  return {text.cx + padX, text.cy + padY};
}

void Label::FitWidth() {
  if (GetWindow() == nullptr) return;
  SetFixedWidth(MeasureText().cx);
}

Color Label::CurrentTextColor() const {
  if (!IsEffectivelyEnabled() && ColorAlpha(disabledTextColor_) != 0) return disabledTextColor_;
  return textColor_;
}

void Label::PaintText(Canvas& canvas) { DrawTextIn(canvas, CurrentTextColor()); }

void Label::DrawTextIn(Canvas& canvas, Color color) const {
  if (Text().empty() || ColorAlpha(color) == 0) return;
  std::shared_ptr<Font> font = CurrentFont();
  if (font == nullptr) return;
  const Rect& p = Position();
  const Rect r{p.left + textPadding_.left, p.top + textPadding_.top, p.right - textPadding_.right,
               p.bottom - textPadding_.bottom};
  if (r.IsEmpty()) return;
  canvas.DrawText(*font, Text(), r, color, textStyle_);
}

}  // namespace Ui
