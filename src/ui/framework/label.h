// A control that shows text: font, colour, alignment ("align", "valign"),
// "textpadding", "multiline", "endellipsis", and a measurement of its text so
// that labels can size themselves ("autocalcwidth" or MeasureText).
#pragma once

#include "ui/framework/control.h"

namespace Ui {

class Font;

class Label : public Control {
 public:
  Label();
  std::wstring_view ClassName() const override { return L"Label"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void SetText(std::wstring text) override;
  void DoInit() override;

  int FontId() const { return fontId_; }
  void SetFontId(int id);
  Color TextColor() const { return textColor_; }
  void SetTextColor(Color color);
  unsigned TextStyle() const { return textStyle_; }
  const Rect& TextPadding() const { return textPadding_; }
  // The size the text needs in the label's font, text padding included;
  // one line unless the label is multi-line (then within its fixed width).
  Size MeasureText() const;

 protected:
  void PaintText(Canvas& canvas) override;
  // The colour for the current state; labels have only the normal and the
  // disabled one.
  virtual Color CurrentTextColor() const;
  void DrawTextIn(Canvas& canvas, Color color) const;
  std::shared_ptr<Font> CurrentFont() const;

  unsigned textStyle_;
  Color disabledTextColor_ = 0;

 private:
  void FitWidth();
  int fontId_ = -1;
  Color textColor_ = 0xFF000000u;
  Rect textPadding_;
  bool autoWidth_ = false;
};

}  // namespace Ui
