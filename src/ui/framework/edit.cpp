#include "ui/framework/edit.h"

#include <algorithm>

#include "ui/framework/attribute_values.h"
#include "ui/framework/canvas.h"
#include "ui/framework/font.h"
#include "ui/framework/window.h"

namespace Ui {
namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether `index` falls between the two halves of a surrogate pair.
bool InsidePair(std::wstring_view text, std::size_t index) {
  return index > 0 && index < text.size() && IsHighSurrogate(text[index - 1]) && IsLowSurrogate(text[index]);
}

// The character boundaries before and after `index`.
std::size_t PreviousBoundary(std::wstring_view text, std::size_t index) {
  if (index == 0) return 0;
  --index;
  return InsidePair(text, index) ? index - 1 : index;
}

std::size_t NextBoundary(std::wstring_view text, std::size_t index) {
  if (index >= text.size()) return text.size();
  ++index;
  return InsidePair(text, index) ? index + 1 : index;
}

}  // namespace

Edit::Edit() { textStyle_ = kTextLeft | kTextVCenter | kTextSingleLine; }

void Edit::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"readonly")) {
    readOnly_ = ParseBoolValue(value);
  } else if (NameEquals(name, L"maxchar")) {
    maxChars_ = static_cast<std::size_t>(std::max(0, ParseIntValue(value)));
  } else if (NameEquals(name, L"selectedcolor")) {
    if (auto c = ParseColorValue(value)) selectionColor_ = *c;
  } else if (NameEquals(name, L"multiline")) {
    // One line only: a folder path never breaks.
  } else {
    Label::SetAttribute(name, value);
  }
}

void Edit::SetText(std::wstring text) {
  if (text.size() > maxChars_) text.resize(InsidePair(text, maxChars_) ? maxChars_ - 1 : maxChars_);
  composition_.clear();
  Label::SetText(std::move(text));
  caret_ = anchor_ = Text().size();
  CaretChanged();
}

void Edit::SetSelection(std::size_t anchor, std::size_t caret) {
  anchor_ = std::min(anchor, Text().size());
  caret_ = std::min(caret, Text().size());
  if (InsidePair(Text(), anchor_)) --anchor_;
  if (InsidePair(Text(), caret_)) --caret_;
  CaretChanged();
}

std::wstring Edit::SelectedText() const {
  return Text().substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

void Edit::ReplaceSelection(std::wstring_view text) {
  std::wstring value = Text();
  const std::size_t start = SelectionStart();
  value.erase(start, SelectionEnd() - start);
  const std::size_t room = maxChars_ > value.size() ? maxChars_ - value.size() : 0;
  std::size_t take = std::min(room, text.size());
  if (InsidePair(text, take)) --take;  // half a character is no character
  std::wstring insert(text.substr(0, take));
  // Line breaks and other control characters have no place in one line.
  std::erase_if(insert, [](wchar_t c) { return c < 0x20 || c == 0x7F; });
  value.insert(start, insert);
  Label::SetText(std::move(value));
  caret_ = anchor_ = start + insert.size();
  CaretChanged();
  TextChanged();
}

void Edit::TextChanged() {
  if (Window* window = GetWindow()) window->SendNotify(this, L"textchanged");
}

Rect Edit::TextRect() const {
  const Rect& p = Position();
  const Rect& pad = TextPadding();
  return {p.left + pad.left, p.top + pad.top, p.right - pad.right, p.bottom - pad.bottom};
}

int Edit::XOfIndex(std::size_t index) const { return XOfIndexIn(Text(), index); }

int Edit::XOfIndexIn(std::wstring_view text, std::size_t index) const {
  std::shared_ptr<Font> font = CurrentFont();
  if (font == nullptr || index == 0) return 0;
  return font->Measure(text.substr(0, index), 0, kTextSingleLine).cx;
}

std::wstring Edit::ShownText() const {
  if (composition_.empty()) return Text();
  std::wstring shown = Text();
  shown.insert(std::min(caret_, shown.size()), composition_);
  return shown;
}

std::size_t Edit::IndexAtX(int x) const {
  // The boundary nearest to x; texts here are short, so a linear walk is fine.
  std::size_t best = 0;
  int bestDistance = std::abs(x);
  for (std::size_t i = 1; i <= Text().size(); ++i) {
    if (InsidePair(Text(), i)) continue;
    const int distance = std::abs(XOfIndex(i) - x);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

void Edit::MoveCaret(std::size_t index, bool extend) {
  caret_ = std::min(index, Text().size());
  if (InsidePair(Text(), caret_)) --caret_;
  if (!extend) anchor_ = caret_;
  CaretChanged();
}

void Edit::KeepCaretVisible() {
  // The edit may not be laid out yet (on a hidden page): then there is
  // nothing to scroll, and painting asks again once it has its place.
  const Rect r = TextRect();
  if (r.Width() <= 0) return;
  const std::wstring shown = ShownText();
  const int caretX = XOfIndexIn(shown, caret_ + composition_.size());
  if (caretX - scroll_ > r.Width() - 1) scroll_ = caretX - r.Width() + 1;
  if (caretX < scroll_) scroll_ = caretX;
  // No empty room on the right while text is hidden on the left.
  const int textWidth = XOfIndexIn(shown, shown.size());
  if (scroll_ > 0 && textWidth - scroll_ < r.Width() - 1) scroll_ = std::max(0, textWidth - r.Width() + 1);
  if (scroll_ < 0) scroll_ = 0;
}

void Edit::CaretChanged() {
  const Rect r = TextRect();
  KeepCaretVisible();
  const int caretX = XOfIndexIn(ShownText(), caret_ + composition_.size());
  caretShown_ = IsFocused();
  Window* window = GetWindow();
  if (window != nullptr && IsFocused()) {
    if (window->Host() != nullptr) {
      const int x = r.left + caretX - scroll_;
      // The host places the input method's window in device pixels.
      const double scale = window->Scale();
      auto px = [scale](int v) { return static_cast<int>(v * scale); };
      window->Host()->SetTextInput(true, {px(x), px(r.top), px(x + 1), px(r.bottom)});
    }
    SetTimer(kCaretTimerId, kCaretBlinkMs);  // restarts the blink: the caret shows while typing
  }
  Invalidate();
}

void Edit::DoEvent(const ControlEvent& event) {
  Window* window = GetWindow();
  switch (event.type) {
    case EventType::kSetFocus:
      SetState(kStateFocused, true);
      CaretChanged();
      return;
    case EventType::kComposition:
      if (!IsEffectivelyEnabled() || readOnly_) return;
      composition_ = event.text;
      std::erase_if(composition_, [](wchar_t c) { return c < 0x20 || c == 0x7F; });
      CaretChanged();
      return;
    case EventType::kKillFocus:
      composition_.clear();
      SetState(kStateFocused, false);
      caretShown_ = false;
      selecting_ = false;
      KillTimer(kCaretTimerId);
      if (window != nullptr && window->Host() != nullptr) window->Host()->SetTextInput(false, {});
      Invalidate();
      return;
    case EventType::kTimer:
      if (event.timerId == kCaretTimerId) {
        caretShown_ = !caretShown_ && IsFocused();
        Invalidate();
        return;
      }
      break;
    case EventType::kMouseEnter:
      if (window != nullptr && window->Host() != nullptr) window->Host()->SetCursor(CursorKind::kIBeam);
      SetState(kStateHot, true);
      return;
    case EventType::kMouseLeave:
      if (window != nullptr && window->Host() != nullptr) window->Host()->SetCursor(CursorKind::kArrow);
      SetState(kStateHot, false);
      return;
    case EventType::kButtonDown:
      if (!IsEffectivelyEnabled()) return;
      selecting_ = true;
      MoveCaret(IndexAtX(event.point.x - TextRect().left + scroll_), event.modifiers.shift);
      return;
    case EventType::kMouseMove:
      if (selecting_) MoveCaret(IndexAtX(event.point.x - TextRect().left + scroll_), true);
      return;
    case EventType::kButtonUp:
      selecting_ = false;
      return;
    case EventType::kKeyDown:
      if (IsEffectivelyEnabled()) OnKey(event.key, event.modifiers);
      return;
    case EventType::kChar:
      if (!IsEffectivelyEnabled() || readOnly_ || event.character < 0x20 || event.character == 0x7F) return;
      if (event.character > 0x10FFFF) return;
      composition_.clear();  // committed: the character replaces it
      {
        std::wstring one;
        if constexpr (sizeof(wchar_t) == 2) {
          if (event.character >= 0x10000) {
            const char32_t v = event.character - 0x10000;
            one.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
            one.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
          } else {
            one.push_back(static_cast<wchar_t>(event.character));
          }
        } else {
          one.push_back(static_cast<wchar_t>(event.character));
        }
        ReplaceSelection(one);
      }
      return;
    default:
      break;
  }
  Label::DoEvent(event);
}

void Edit::OnKey(int key, KeyModifiers modifiers) {
  Window* window = GetWindow();
  IHost* host = window != nullptr ? window->Host() : nullptr;
  const std::size_t size = Text().size();
  switch (key) {
    case Key::kLeft:
      if (!modifiers.shift && SelectionStart() != SelectionEnd()) {
        MoveCaret(SelectionStart(), false);
      } else {
        MoveCaret(PreviousBoundary(Text(), caret_), modifiers.shift);
      }
      break;
    case Key::kRight:
      if (!modifiers.shift && SelectionStart() != SelectionEnd()) {
        MoveCaret(SelectionEnd(), false);
      } else {
        MoveCaret(NextBoundary(Text(), caret_), modifiers.shift);
      }
      break;
    case Key::kHome:
      MoveCaret(0, modifiers.shift);
      break;
    case Key::kEnd:
      MoveCaret(size, modifiers.shift);
      break;
    case Key::kBack:
      if (readOnly_) break;
      if (SelectionStart() == SelectionEnd() && caret_ > 0) anchor_ = PreviousBoundary(Text(), caret_);
      if (SelectionStart() != SelectionEnd()) ReplaceSelection(L"");
      break;
    case Key::kDelete:
      if (readOnly_) break;
      if (SelectionStart() == SelectionEnd() && caret_ < size) anchor_ = NextBoundary(Text(), caret_);
      if (SelectionStart() != SelectionEnd()) ReplaceSelection(L"");
      break;
    case Key::kReturn:
      if (window != nullptr) window->SendNotify(this, L"return");
      break;
    case Key::kA:
      if (modifiers.control) SetSelection(0, size);
      break;
    case Key::kC:
      if (modifiers.control && host != nullptr && SelectionStart() != SelectionEnd()) {
        host->SetClipboardText(SelectedText());
      }
      break;
    case Key::kX:
      if (modifiers.control && host != nullptr && !readOnly_ && SelectionStart() != SelectionEnd()) {
        host->SetClipboardText(SelectedText());
        ReplaceSelection(L"");
      }
      break;
    case Key::kV:
      if (modifiers.control && host != nullptr && !readOnly_) ReplaceSelection(host->ClipboardText());
      break;
    default:
      break;
  }
}

void Edit::PaintText(Canvas& canvas) {
  std::shared_ptr<Font> font = CurrentFont();
  if (font == nullptr) return;
  const Rect r = TextRect();
  if (r.IsEmpty()) return;
  KeepCaretVisible();
  const Rect savedClip = canvas.Clip();
  canvas.SetClip(savedClip.Intersect(r));
  const int lineHeight = font->LineHeight();
  const int top = r.top + (r.Height() - lineHeight) / 2;
  if (SelectionStart() != SelectionEnd() && IsFocused() && composition_.empty()) {
    const int x0 = r.left + XOfIndex(SelectionStart()) - scroll_;
    const int x1 = r.left + XOfIndex(SelectionEnd()) - scroll_;
    canvas.FillRect({x0, top, x1, top + lineHeight}, selectionColor_);
  }
  // The text is drawn from its scrolled start; the clip hides what is outside.
  const std::wstring shown = ShownText();
  const Rect textRect{r.left - scroll_, r.top, r.left - scroll_ + XOfIndexIn(shown, shown.size()) + 2, r.bottom};
  canvas.DrawText(*font, shown, textRect, CurrentTextColor(), kTextLeft | kTextVCenter | kTextSingleLine);
  if (!composition_.empty()) {
    // The composition is underlined, as input methods show it everywhere.
    const int x0 = r.left + XOfIndexIn(shown, caret_) - scroll_;
    const int x1 = r.left + XOfIndexIn(shown, caret_ + composition_.size()) - scroll_;
    canvas.FillRect({x0, top + lineHeight - 1, x1, top + lineHeight}, CurrentTextColor());
  }
  if (caretShown_ && IsFocused()) {
    const int x = r.left + XOfIndexIn(shown, caret_ + composition_.size()) - scroll_;
    canvas.FillRect({x, top, x + 1, top + lineHeight}, caretColor_);
  }
  canvas.SetClip(savedClip);
}

void Edit::PaintBorder(Canvas& canvas) { Label::PaintBorder(canvas); }

}  // namespace Ui
