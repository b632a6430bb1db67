// The looping frame animations of the skin: a label ("SequenceLabel") and a
// button ("SequenceButton") whose background steps through numbered images,
// one every "sequencespan" milliseconds, on the control's timer 2100.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/framework/button.h"
#include "ui/framework/label.h"

namespace SkinUI {

inline constexpr std::uintptr_t kSequenceTimerId = 2100;

// The frame path for `frame`: the pattern's one integer conversion ("%d",
// with the flags '0' and '-', a width and a precision, e.g. "%.3d") filled
// in, "%%" as one '%', anything else as written. A skin's pattern can thus
// never make the formatting read arguments that are not there. Cut at 259
// characters.
std::wstring FormatFramePath(std::wstring_view pattern, int frame);

// The stepping both controls share.
class FrameSequence {
 public:
  // True when the attribute was one of the sequence's.
  bool SetAttribute(std::wstring_view name, std::wstring_view value);
  // One tick: the frame to show next, or nothing (empty pattern, or a
  // sequence that just ended; `stop` then says whether the timer must go).
  struct Step {
    bool show = false;
    bool stop = false;
    std::wstring path;
  };
  Step Tick();
  void Restart() { current_ = 0; forward_ = true; }

  std::wstring pattern;
  int count = 0;
  int interval = 30;
  bool loop = true;
  bool autoStart = false;
  bool round = false;
  int Current() const { return current_; }

 private:
  bool forward_ = true;
  int current_ = 0;
};

class CSequenceLabelUI : public Ui::Label {
 public:
  std::wstring_view ClassName() const override { return L"SequenceLabel"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoInit() override;
  void DoEvent(const Ui::ControlEvent& event) override;
  void Start();
  const std::wstring& SequencePattern() const { return sequence_.pattern; }
  int SequenceCount() const { return sequence_.count; }
  int SequenceSpan() const { return sequence_.interval; }

 private:
  FrameSequence sequence_;
};

class CSequenceButtonUI : public Ui::Button {
 public:
  std::wstring_view ClassName() const override { return L"SequenceButton"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoInit() override;
  void DoEvent(const Ui::ControlEvent& event) override;
  void Start();
  const std::wstring& SequencePattern() const { return sequence_.pattern; }
  int SequenceCount() const { return sequence_.count; }
  int SequenceSpan() const { return sequence_.interval; }

 private:
  FrameSequence sequence_;
};

}  // namespace SkinUI
