// A one-line text field: typing, a blinking caret, selection with the mouse
// and with Shift, Home/End, Backspace/Delete, and Ctrl+A/C/X/V through the
// host's clipboard. Sends "textchanged" after each change and "return" on
// Enter. Text input (and the IME on Windows) is the host's part: the edit
// tells it where the caret is, and shows the input method's composition at
// the caret, underlined, until it is committed. The caret moves and deletes
// by whole characters: a UTF-16 surrogate pair is never split.
#pragma once

#include <cstddef>

#include "ui/framework/label.h"

namespace Ui {

class Edit : public Label {
 public:
  static constexpr std::uintptr_t kCaretTimerId = 0xED17;
  static constexpr std::uint32_t kCaretBlinkMs = 530;

  Edit();
  std::wstring_view ClassName() const override { return L"Edit"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void SetText(std::wstring text) override;
  void DoEvent(const ControlEvent& event) override;
  bool WantsFocus() const override { return true; }
  // Return belongs to the page's default button, Escape to the window.
  bool TakesKey(int key) const override { return key != Key::kReturn && key != Key::kEscape; }
  bool IsActive() const override { return true; }

  bool IsReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  std::size_t MaxChars() const { return maxChars_; }
  // The caret's index and the selection [start, end) in characters.
  std::size_t Caret() const { return caret_; }
  std::size_t SelectionStart() const { return std::min(anchor_, caret_); }
  std::size_t SelectionEnd() const { return std::max(anchor_, caret_); }
  void SetSelection(std::size_t anchor, std::size_t caret);
  std::wstring SelectedText() const;
  // Replaces the selection with `text` (cut to the room "maxchar" leaves).
  void ReplaceSelection(std::wstring_view text);
  bool IsCaretShown() const { return caretShown_; }
  // The input method's text being composed (shown, not yet in Text()).
  const std::wstring& Composition() const { return composition_; }

 protected:
  void PaintText(Canvas& canvas) override;
  void PaintBorder(Canvas& canvas) override;

 private:
  Rect TextRect() const;
  int XOfIndex(std::size_t index) const;  // pixels from the text's start
  int XOfIndexIn(std::wstring_view text, std::size_t index) const;
  // The text as shown: the composition at the caret.
  std::wstring ShownText() const;
  std::size_t IndexAtX(int x) const;
  void MoveCaret(std::size_t index, bool extend);
  void CaretChanged();
  void KeepCaretVisible();
  void TextChanged();
  void OnKey(int key, KeyModifiers modifiers);

  std::wstring composition_;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  int scroll_ = 0;  // pixels of text hidden on the left
  bool caretShown_ = false;
  bool selecting_ = false;
  bool readOnly_ = false;
  std::size_t maxChars_ = 255;
  Color selectionColor_ = 0xFF99C9EFu;
  Color caretColor_ = 0xFF333333u;
};

}  // namespace Ui
