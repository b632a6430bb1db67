#include "ui/window/sequence_controls.h"

#include <algorithm>
#include <cwctype>

#include "ui/framework/window.h"

namespace SkinUI {
namespace {

constexpr std::size_t kPathCapacity = 259;

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

int ParseInt(std::wstring_view value) {
  long long result = 0;
  bool negative = false;
  std::size_t i = 0;
  while (i < value.size() && value[i] == L' ') ++i;
  if (i < value.size() && (value[i] == L'-' || value[i] == L'+')) negative = value[i++] == L'-';
  for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
    result = result * 10 + (value[i] - L'0');
    if (result > 1000000000) break;
  }
  return static_cast<int>(negative ? -result : result);
}

// Only the exact word "false" turns a sequence switch off.
bool Switch(std::wstring_view value) { return value != L"false"; }

template <class ControlT>
void TickControl(ControlT& control, FrameSequence& sequence) {
  FrameSequence::Step step = sequence.Tick();
  if (step.stop) control.KillTimer(kSequenceTimerId);
  if (!step.show) return;
  control.SetBkImage(step.path);
  control.Invalidate();
}

// Starts the stepping, or, when the person asked for less animation, shows
// the first frame and stays there.
template <class ControlT>
void StartControl(ControlT& control, FrameSequence& sequence) {
  sequence.Restart();
  const Ui::Window* window = control.GetWindow();
  if (window != nullptr && window->ReducedMotion()) {
    control.KillTimer(kSequenceTimerId);
    TickControl(control, sequence);
    return;
  }
  control.SetTimer(kSequenceTimerId, static_cast<std::uint32_t>(std::max(1, sequence.interval)));
}

}  // namespace

std::wstring FormatFramePath(std::wstring_view pattern, int frame) {
  std::wstring out;
  bool converted = false;
  for (std::size_t i = 0; i < pattern.size() && out.size() < kPathCapacity; ++i) {
    const wchar_t c = pattern[i];
    if (c != L'%') {
      out += c;
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == L'%') {
      out += L'%';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool zero = false, left = false;
    while (j < pattern.size() && (pattern[j] == L'0' || pattern[j] == L'-')) {
      (pattern[j] == L'0' ? zero : left) = true;
      ++j;
    }
    int width = 0, precision = -1;
    while (j < pattern.size() && std::iswdigit(pattern[j]) && width < 100) width = width * 10 + (pattern[j++] - L'0');
    if (j < pattern.size() && pattern[j] == L'.') {
      precision = 0;
      ++j;
      while (j < pattern.size() && std::iswdigit(pattern[j]) && precision < 100) {
        precision = precision * 10 + (pattern[j++] - L'0');
      }
    }
    if (converted || j >= pattern.size() || (pattern[j] != L'd' && pattern[j] != L'i')) {
      out += c;  // not a conversion this formatter fills: kept as written
      continue;
    }
    converted = true;
    std::wstring digits = std::to_wstring(frame < 0 ? -static_cast<long long>(frame) : frame);
    if (precision >= 0 && static_cast<int>(digits.size()) < precision) {
      digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), L'0');
    }
    if (frame < 0) digits.insert(0, 1, L'-');
    if (static_cast<int>(digits.size()) < width) {
      const std::size_t pad = static_cast<std::size_t>(width) - digits.size();
      if (left) {
        digits.append(pad, L' ');
      } else if (zero && precision < 0) {
        digits.insert(frame < 0 ? 1 : 0, pad, L'0');
      } else {
        digits.insert(0, pad, L' ');
      }
    }
    out += digits;
    i = j;
  }
  if (out.size() > kPathCapacity) out.resize(kPathCapacity);
  return out;
}

bool FrameSequence::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (EqualsNoCase(name, L"sequencebkimage")) {
    pattern = value;
  } else if (EqualsNoCase(name, L"sequencecount")) {
    count = ParseInt(value);
  } else if (EqualsNoCase(name, L"sequencespan")) {
    interval = ParseInt(value);
  } else if (EqualsNoCase(name, L"sequenceloop")) {
    loop = Switch(value);
  } else if (EqualsNoCase(name, L"autostart")) {
    autoStart = Switch(value);
  } else if (EqualsNoCase(name, L"sequenceround")) {
    round = Switch(value);
  } else {
    return false;
  }
  return true;
}

FrameSequence::Step FrameSequence::Tick() {
  Step step;
  if (pattern.empty()) return step;
  if (forward_ && current_ > count - 1) {
    if (round) {
      forward_ = false;
      current_ = count - 2;
    } else {
      current_ = 0;
      if (!loop) {
        step.stop = true;
        return step;
      }
    }
  }
  if (!forward_ && current_ <= 0) {
    if (round) forward_ = true;
    current_ = 0;
    if (!loop) {
      step.stop = true;
      return step;
    }
  }
  step.show = true;
  step.path = FormatFramePath(pattern, current_);
  current_ += forward_ ? 1 : -1;
  return step;
}

void CSequenceLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (!sequence_.SetAttribute(name, value)) Label::SetAttribute(name, value);
}

void CSequenceLabelUI::DoInit() {
  Label::DoInit();
  if (sequence_.autoStart) StartControl(*this, sequence_);
}

void CSequenceLabelUI::Start() { StartControl(*this, sequence_); }

void CSequenceLabelUI::DoEvent(const Ui::ControlEvent& event) {
  if (event.type == Ui::EventType::kTimer && event.timerId == kSequenceTimerId) {
    TickControl(*this, sequence_);
    return;
  }
  Label::DoEvent(event);
}

void CSequenceButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (!sequence_.SetAttribute(name, value)) Button::SetAttribute(name, value);
}

void CSequenceButtonUI::DoInit() {
  Button::DoInit();
  if (sequence_.autoStart) StartControl(*this, sequence_);
}

void CSequenceButtonUI::Start() { StartControl(*this, sequence_); }

void CSequenceButtonUI::DoEvent(const Ui::ControlEvent& event) {
  if (event.type == Ui::EventType::kTimer && event.timerId == kSequenceTimerId) {
    TickControl(*this, sequence_);
    return;
  }
  Button::DoEvent(event);
}

}  // namespace SkinUI
