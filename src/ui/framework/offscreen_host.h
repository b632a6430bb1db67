// Windows without a display: each window paints into its canvas as usual and
// takes input injected by the caller (tests, the screenshot tool). Time runs
// by hand (AdvanceTime) or with the real clock.
//
// A modal run (ShowModal) loops over the environment's windows: posted work,
// due timers, painting. When nothing is left to do it asks the idle handler,
// which may inject input (click the dialog's button); with the manual clock
// it then moves time on to the next timer. A run that can make no progress
// at all is abandoned (the modal window closes with kModalAbandoned) rather
// than hanging.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/framework/host.h"
#include "ui/framework/image.h"
#include "ui/framework/window.h"

namespace Ui {

class OffscreenHost;

class OffscreenEnvironment : public IHostFactory {
 public:
  enum class Clock { kManual, kRealTime };
  static constexpr int kModalAbandoned = -1;

  explicit OffscreenEnvironment(Clock clock = Clock::kManual);
  ~OffscreenEnvironment() override;
  std::unique_ptr<IHost> CreateHost(Window& window, Window* owner, Size size) override;
  // The display scale new windows get (1.0 unless set), as a screen of that
  // DPI would give them.
  double DisplayScale() override { return scale_; }
  void SetDisplayScale(double scale) { scale_ = scale; }

  std::uint64_t NowMs();
  // Manual clock: moves time forward in steps to each timer's deadline, so
  // every timer fires as often as it would have. Real clock: waits.
  void AdvanceTime(std::uint64_t ms);
  // Runs posted work, due timers and painting of every window until none is left.
  void RunUntilIdle();
  // Called by modal runs when they have nothing to do, with the newest open
  // window; returns whether it did something.
  void SetIdleHandler(std::function<bool(Window& top)> handler) { idle_ = std::move(handler); }
  // Longest a modal run may wait for progress: virtual time with the manual
  // clock, real time otherwise.
  void SetModalPatience(std::uint64_t ms) { patienceMs_ = ms; }

  OffscreenHost* HostOf(const Window& window) const;
  Window* TopWindow() const;
  std::wstring clipboard;
  bool quitPosted = false;
  int quitCode = 0;

 private:
  friend class OffscreenHost;
  void Wake();
  bool RunOnce();  // true when something ran
  std::optional<std::uint64_t> NextDue() const;

  Clock clock_;
  double scale_ = 1.0;
  std::uint64_t manualNow_ = 0;
  std::uint64_t realStart_ = 0;
  std::vector<OffscreenHost*> hosts_;
  std::function<bool(Window&)> idle_;
  std::uint64_t patienceMs_ = 60000;
  std::mutex wakeMutex_;
  std::condition_variable wakeCondition_;
  bool woken_ = false;
};

class OffscreenHost : public IHost {
 public:
  OffscreenHost(OffscreenEnvironment& environment, Window& window, Window* owner, Size size);
  ~OffscreenHost() override;

  // ---- injected input (ignored while the window is disabled or closed) ----------
  void MouseMove(Point point);
  void MouseDown(Point point, KeyModifiers modifiers = {});
  void MouseUp(Point point, KeyModifiers modifiers = {});
  void Click(Point point);
  // Clicks the middle of the named control; false when it is not shown.
  bool ClickControl(const std::wstring& name);
  void KeyDown(int key, KeyModifiers modifiers = {});
  void TypeText(std::wstring_view text);
  void RequestClose();  // the title bar's close button or Alt+F4

  // ---- what the window did ------------------------------------------------------
  Window& GetWindow() const { return window_; }
  bool IsVisible() const { return visible_; }
  bool IsEnabled() const { return enabled_; }
  bool IsClosed() const { return closed_; }
  bool IsMinimized() const { return minimized_; }
  bool HasCapture() const { return capture_; }
  bool TextInputActive() const { return textInput_; }
  const Rect& CaretRect() const { return caret_; }
  Point Position() const { return position_; }
  Size RoundCorner() const { return roundCorner_; }
  const ShadowSettings& Shadow() const { return shadow_; }
  const std::wstring& Title() const { return title_; }
  // The size of the icon the window gave its host; empty without one.
  Size IconSize() const { return iconSize_; }
  CursorKind Cursor() const { return cursor_; }
  // The rectangles presented since the last call.
  std::vector<Rect> TakePresented();
  // Paints what is pending and writes the window's picture.
  bool WritePng(const std::string& path);

  // ---- IHost ----------------------------------------------------------------------------
  void Present(const Canvas& canvas, const Rect& dirty) override;
  void RequestPaint() override {}
  void Show(bool visible) override;
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  void Close() override;
  void Minimize() override { minimized_ = true; }
  void Center() override;
  void SetTitle(const std::wstring& title) override { title_ = title; }
  void SetIcon(const Image& icon) override { iconSize_ = {icon.Width(), icon.Height()}; }
  void Resize(Size device) override { size_ = device; }
  Size DeviceSize() const { return size_; }
  void SetRoundCorner(Size ellipse) override { roundCorner_ = ellipse; }
  void SetShadow(const ShadowSettings& shadow) override { shadow_ = shadow; }
  void SetCapture(bool capture) override { capture_ = capture; }
  void SetCursor(CursorKind cursor) override { cursor_ = cursor; }
  void SetTextInput(bool active, const Rect& caret) override;
  std::wstring ClipboardText() override { return environment_.clipboard; }
  void SetClipboardText(const std::wstring& text) override { environment_.clipboard = text; }
  std::uint64_t NowMs() override { return environment_.NowMs(); }
  void TimersChanged() override {}
  void Wake() override { environment_.Wake(); }
  void RunModalLoop(const std::function<bool()>& done) override;
  void PostQuit(int code) override;

 private:
  bool Accepts() const { return enabled_ && !closed_; }
  OffscreenEnvironment& environment_;
  Window& window_;
  Window* owner_;
  Size size_;
  bool visible_ = false;
  bool enabled_ = true;
  bool closed_ = false;
  bool minimized_ = false;
  bool capture_ = false;
  bool textInput_ = false;
  bool dragging_ = false;
  Point dragStart_;
  Rect caret_;
  Point position_;
  Size roundCorner_;
  ShadowSettings shadow_;
  std::wstring title_;
  Size iconSize_;
  CursorKind cursor_ = CursorKind::kArrow;
  std::vector<Rect> presented_;
};

}  // namespace Ui
