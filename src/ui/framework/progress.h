// A horizontal progress bar: the background image ("bkimage") and, over the
// done part, the foreground image ("foreimage"). With "isstretchfore" false
// the foreground is cut, not squeezed: the done part shows the same pixels it
// would show at 100 %.
#pragma once

#include "ui/framework/label.h"

namespace Ui {

class Progress : public Label {
 public:
  Progress();
  std::wstring_view ClassName() const override { return L"Progress"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  int Value() const { return value_; }
  // Kept within [Min, Max].
  void SetValue(int value);
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetForeImage(std::wstring_view value);
  const std::optional<ImageAttribute>& ForeImage() const { return foreImage_; }
  // The done part of the bar, in window coordinates.
  Rect DoneRect() const;

 protected:
  void PaintStatusImage(Canvas& canvas) override;

 private:
  int value_ = 0;
  int min_ = 0;
  int max_ = 100;
  bool stretchFore_ = true;
  std::optional<ImageAttribute> foreImage_;
};

}  // namespace Ui
