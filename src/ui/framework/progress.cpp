#include "ui/framework/progress.h"

#include <algorithm>

#include "ui/framework/attribute_values.h"
#include "ui/framework/canvas.h"
#include "ui/framework/window.h"

namespace Ui {

Progress::Progress() { textStyle_ = kTextCenter | kTextVCenter | kTextSingleLine; }

void Progress::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"foreimage")) {
    SetForeImage(value);
  } else if (NameEquals(name, L"isstretchfore")) {
    stretchFore_ = ParseBoolValue(value);
    Invalidate();
  } else if (NameEquals(name, L"min")) {
    min_ = ParseIntValue(value);
    max_ = std::max(max_, min_);
    SetValue(value_);
  } else if (NameEquals(name, L"max")) {
    max_ = std::max(min_, ParseIntValue(value));
    SetValue(value_);
  } else if (NameEquals(name, L"value")) {
    SetValue(ParseIntValue(value));
  } else {
    Label::SetAttribute(name, value);
  }
}

void Progress::SetValue(int value) {
  value = std::clamp(value, min_, max_);
  if (value == value_) return;
  value_ = value;
  Invalidate();
  if (Window* window = GetWindow()) window->AccessibleChanged(this, AccessibleChange::kValue);
}

void Progress::SetForeImage(std::wstring_view value) {
  foreImage_ = ParseImageAttribute(value);
  Invalidate();
}

Rect Progress::DoneRect() const {
  const Rect& p = Position();
  const long long range = static_cast<long long>(max_) - min_;
  const long long done = range > 0 ? (static_cast<long long>(value_ - min_) * p.Width()) / range : 0;
  return {p.left, p.top, p.left + static_cast<int>(done), p.bottom};
}

void Progress::PaintStatusImage(Canvas& canvas) {
  if (!foreImage_ || GetWindow() == nullptr) return;
  const Rect done = DoneRect();
  if (done.IsEmpty()) return;
  std::shared_ptr<Image> image = GetWindow()->GetImage(foreImage_->file);
  if (image == nullptr) return;
  ImageAttribute attribute = *foreImage_;
  const Rect& p = Position();
  const Rect part{0, 0, done.Width(), done.Height()};
  if (!stretchFore_) {
    // The same part of the image as of the bar: scale the bar's done share
    // onto the image so that a full-size picture keeps its pixels.
    const int imageRight = p.Width() > 0 ? static_cast<int>(static_cast<long long>(image->Width()) *
                                                            done.Width() / p.Width())
                                         : 0;
    attribute.source = Rect{0, 0, std::max(1, imageRight), image->Height()};
  }
  attribute.dest = part;
  canvas.DrawImage(*image, attribute, p);
}

}  // namespace Ui
