#include "ui/framework/offscreen_host.h"

#include <algorithm>
#include <chrono>

#include "support/debug_log.h"
#include "ui/framework/canvas.h"

namespace Ui {
namespace {

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// The screen an offscreen window is centred on.
constexpr Size kScreen{1920, 1080};

}  // namespace

// ---- environment -----------------------------------------------------------------------------

OffscreenEnvironment::OffscreenEnvironment(Clock clock) : clock_(clock), realStart_(SteadyMs()) {}

OffscreenEnvironment::~OffscreenEnvironment() = default;

std::unique_ptr<IHost> OffscreenEnvironment::CreateHost(Window& window, Window* owner, Size size) {
  return std::make_unique<OffscreenHost>(*this, window, owner, size);
}

std::uint64_t OffscreenEnvironment::NowMs() {
  // Starts above 0 so that "due at 0" never looks like the past.
  return clock_ == Clock::kManual ? 1000 + manualNow_ : 1000 + SteadyMs() - realStart_;
}

OffscreenHost* OffscreenEnvironment::HostOf(const Window& window) const {
  for (OffscreenHost* host : hosts_) {
    if (&host->GetWindow() == &window) return host;
  }
  return nullptr;
}

Window* OffscreenEnvironment::TopWindow() const {
  for (auto it = hosts_.rbegin(); it != hosts_.rend(); ++it) {
    if (!(*it)->IsClosed()) return &(*it)->GetWindow();
  }
  return nullptr;
}

void OffscreenEnvironment::Wake() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    woken_ = true;
  }
  wakeCondition_.notify_all();
}

std::optional<std::uint64_t> OffscreenEnvironment::NextDue() const {
  std::optional<std::uint64_t> next;
  for (OffscreenHost* host : hosts_) {
    if (host->IsClosed()) continue;
    const std::optional<std::uint64_t> due = host->GetWindow().NextTimerDue();
    if (due && (!next || *due < *next)) next = due;
  }
  return next;
}

bool OffscreenEnvironment::RunOnce() {
  bool ran = false;
  // Windows may open or close while their work runs.
  const std::vector<OffscreenHost*> hosts = hosts_;
  for (OffscreenHost* host : hosts) {
    if (std::find(hosts_.begin(), hosts_.end(), host) == hosts_.end()) continue;
    Window& window = host->GetWindow();
    if (!window.HasPendingWork()) continue;
    window.RunPending();
    ran = true;
  }
  return ran;
}

void OffscreenEnvironment::RunUntilIdle() {
  // Bounded: a timer with a 1 ms interval under the real clock could keep it busy.
  for (int i = 0; i < 10000 && RunOnce(); ++i) {
  }
}

void OffscreenEnvironment::AdvanceTime(std::uint64_t ms) {
  if (clock_ == Clock::kRealTime) {
    const std::uint64_t end = NowMs() + ms;
    while (NowMs() < end) {
      RunUntilIdle();
      const std::uint64_t now = NowMs();
      std::uint64_t wait = end - now;
      if (auto next = NextDue(); next && *next > now) wait = std::min(wait, *next - now);
      std::unique_lock<std::mutex> lock(wakeMutex_);
      wakeCondition_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return woken_; });
      woken_ = false;
    }
    RunUntilIdle();
    return;
  }
  const std::uint64_t target = manualNow_ + ms;
  for (;;) {
    RunUntilIdle();
    const std::optional<std::uint64_t> next = NextDue();
    if (!next || *next > 1000 + target) break;
    manualNow_ = std::max(manualNow_, *next - 1000);
  }
  manualNow_ = target;
  RunUntilIdle();
}

// ---- host --------------------------------------------------------------------------------------

OffscreenHost::OffscreenHost(OffscreenEnvironment& environment, Window& window, Window* owner, Size size)
    : environment_(environment), window_(window), owner_(owner), size_(size) {
  environment_.hosts_.push_back(this);
}

OffscreenHost::~OffscreenHost() { std::erase(environment_.hosts_, this); }

void OffscreenHost::Present(const Canvas& canvas, const Rect& dirty) {
  (void)canvas;
  presented_.push_back(dirty);
}

std::vector<Rect> OffscreenHost::TakePresented() {
  std::vector<Rect> out;
  out.swap(presented_);
  return out;
}

void OffscreenHost::Show(bool visible) {
  visible_ = visible;
  if (visible) minimized_ = false;
}

void OffscreenHost::Close() {
  closed_ = true;
  visible_ = false;
  capture_ = false;
  textInput_ = false;
}

void OffscreenHost::Center() {
  if (owner_ != nullptr) {
    if (OffscreenHost* ownerHost = environment_.HostOf(*owner_)) {
      const Size ownerSize = ownerHost->size_;
      position_ = {ownerHost->position_.x + (ownerSize.cx - size_.cx) / 2,
                   ownerHost->position_.y + (ownerSize.cy - size_.cy) / 2};
      return;
    }
  }
  position_ = {(kScreen.cx - size_.cx) / 2, (kScreen.cy - size_.cy) / 2};
}

void OffscreenHost::SetTextInput(bool active, const Rect& caret) {
  textInput_ = active;
  caret_ = caret;
}

void OffscreenHost::MouseMove(Point point) {
  if (!Accepts()) return;
  if (dragging_) {
    position_.x += point.x - dragStart_.x;
    position_.y += point.y - dragStart_.y;
    return;
  }
  window_.OnMouseMove(point);
}

void OffscreenHost::MouseDown(Point point, KeyModifiers modifiers) {
  if (!Accepts()) return;
  if (window_.IsCaptionAt(point)) {
    // The title strip moves the window; the controls never see the press.
    dragging_ = true;
    dragStart_ = point;
    return;
  }
  window_.OnMouseDown(MouseButton::kLeft, point, modifiers);
}

void OffscreenHost::MouseUp(Point point, KeyModifiers modifiers) {
  if (dragging_) {
    dragging_ = false;
    return;
  }
  if (closed_) return;
  window_.OnMouseUp(MouseButton::kLeft, point, modifiers);
}

void OffscreenHost::Click(Point point) {
  MouseMove(point);
  MouseDown(point);
  MouseUp(point);
}

bool OffscreenHost::ClickControl(const std::wstring& name) {
  window_.EnsureLayout();
  Control* control = window_.FindControl(name);
  if (control == nullptr || !control->IsShown()) return false;
  // The host speaks in device pixels.
  const Rect& r = control->Position();
  const double scale = window_.Scale();
  Click({static_cast<int>(((r.left + r.right) / 2) * scale), static_cast<int>(((r.top + r.bottom) / 2) * scale)});
  return true;
}

void OffscreenHost::KeyDown(int key, KeyModifiers modifiers) {
  if (!Accepts()) return;
  window_.OnKeyDown(key, modifiers);
  window_.OnKeyUp(key, modifiers);
}

void OffscreenHost::TypeText(std::wstring_view text) {
  if (!Accepts()) return;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
        ++i;
      }
    }
    window_.OnChar(c);
  }
}

void OffscreenHost::RequestClose() {
  if (!Accepts()) return;
  window_.OnCloseRequest();
}

bool OffscreenHost::WritePng(const std::string& path) {
  window_.Paint();
  return window_.GetCanvas() != nullptr && window_.GetCanvas()->WritePng(path);
}

void OffscreenHost::RunModalLoop(const std::function<bool()>& done) {
  std::uint64_t lastProgress = NowMs();
  while (!done() && !environment_.quitPosted) {
    bool posted = false;
    for (OffscreenHost* host : environment_.hosts_) posted = posted || host->GetWindow().HasPostedWork();
    if (environment_.RunOnce()) {
      if (posted) lastProgress = NowMs();
      continue;
    }
    if (done()) break;
    Window* top = environment_.TopWindow();
    if (environment_.idle_ && top != nullptr && environment_.idle_(*top)) {
      lastProgress = NowMs();
      continue;
    }
    const std::uint64_t now = NowMs();
    if (now - lastProgress >= environment_.patienceMs_) {
      DEBUG_LOG(L"modal run abandoned: no progress for %lld ms", static_cast<long long>(now - lastProgress));
      window_.Close(OffscreenEnvironment::kModalAbandoned);
      break;
    }
    const std::optional<std::uint64_t> next = environment_.NextDue();
    const std::uint64_t giveUp = lastProgress + environment_.patienceMs_;
    const std::uint64_t until = next ? std::min(*next, giveUp) : giveUp;
    if (environment_.clock_ == OffscreenEnvironment::Clock::kManual) {
      environment_.manualNow_ = std::max(environment_.manualNow_, until - 1000);
    } else {
      std::unique_lock<std::mutex> lock(environment_.wakeMutex_);
      environment_.wakeCondition_.wait_for(lock, std::chrono::milliseconds(until > now ? until - now : 0),
                                           [this] { return environment_.woken_; });
      environment_.woken_ = false;
    }
  }
}

void OffscreenHost::PostQuit(int code) {
  environment_.quitPosted = true;
  environment_.quitCode = code;
  environment_.Wake();
}

}  // namespace Ui
