// Shared by the framework tests and the screenshot program: skinned windows
// from the shipped skin, and a stand-in for the installer's frame-sequence
// label so that layouts using it build here too.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ui/framework/label.h"
#include "ui/framework/skin_window.h"
#include "ui/framework/window.h"

namespace Ui {
// Readable rectangles, sizes and points in test failures.
inline void PrintTo(const Rect& r, std::ostream* out) {
  *out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
inline void PrintTo(const Size& s, std::ostream* out) { *out << s.cx << "x" << s.cy; }
inline void PrintTo(const Point& p, std::ostream* out) { *out << "(" << p.x << "," << p.y << ")"; }
}  // namespace Ui

namespace FrameworkTest {

// Steps its background through numbered frames ("sequencebkimage" with one
// printf-style integer, "sequencecount", "sequencespan") on timer 2100 once
// started ("autostart"), as the installer's own control does.
class FrameLabel : public Ui::Label {
 public:
  static constexpr std::uintptr_t kTimerId = 2100;
  std::wstring_view ClassName() const override { return L"SequenceLabel"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoInit() override;
  void DoEvent(const Ui::ControlEvent& event) override;
  int Frame() const { return frame_; }
  void ShowFrame(int frame);

 private:
  std::wstring pattern_;
  int count_ = 0;
  int span_ = 30;
  bool autoStart_ = false;
  int frame_ = 0;
};

class FrameLabelCallback : public Ui::IBuilderCallback {
 public:
  std::unique_ptr<Ui::Control> CreateControl(std::wstring_view elementName) override;
  std::vector<std::wstring> offered;  // every element name it was asked about
};

// A skinned window built from the shipped skin with the stand-in callback.
class SkinWindow : public Ui::SkinWindowBase {
 public:
  explicit SkinWindow(std::wstring layout);
  SkinWindow(std::wstring layout, FileReader reader);
  FrameLabelCallback callback;

 protected:
  Ui::IBuilderCallback* BuilderCallback() override { return &callback; }
};

// What the installer's window does on a page change, for pictures of each page.
void ShowMainPage(Ui::Window& window, int page);

}  // namespace FrameworkTest
