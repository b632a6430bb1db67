// The line between a window's portable core (controls, layout, notifications,
// timers) and whatever shows it: a Win32 window, an SDL2 window on Linux, or
// the offscreen host of the tests and screenshots.
//
// The core talks to its host through IHost; a host feeds input into the core
// through the public input calls of Window (window.h):
//
//   input     OnMouseMove / OnMouseDown / OnMouseUp / OnMouseLeave (device
//             pixels, as the native window reports them),
//             OnKeyDown / OnKeyUp / OnChar, OnFocus, OnCloseRequest,
//             FilterMessage (native messages for the window's IMessageFilters)
//   drag      IsCaptionAt(point): true where a press should move the window
//   loop      RunPending(): runs posted work and asynchronous notifications,
//             due timers and the repaint of dirty regions; NextTimerDue()
//             says until when the loop may sleep
//
// Every call in either direction happens on the window's thread, except
// IHost::Wake, which any thread may call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/framework/geometry.h"

namespace Ui {

class Canvas;
class Image;
class Window;

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

enum class MouseButton { kLeft, kRight, kMiddle };

struct KeyModifiers {
  bool shift = false;
  bool control = false;
  bool alt = false;
};

// Key codes are the Windows virtual-key numbers on every system; the SDL2
// host translates its key symbols into them.
namespace Key {
inline constexpr int kBack = 0x08;
inline constexpr int kTab = 0x09;
inline constexpr int kReturn = 0x0D;
inline constexpr int kEscape = 0x1B;
inline constexpr int kSpace = 0x20;
inline constexpr int kEnd = 0x23;
inline constexpr int kHome = 0x24;
inline constexpr int kLeft = 0x25;
inline constexpr int kUp = 0x26;
inline constexpr int kRight = 0x27;
inline constexpr int kDown = 0x28;
inline constexpr int kDelete = 0x2E;
inline constexpr int kA = 'A';
inline constexpr int kC = 'C';
inline constexpr int kV = 'V';
inline constexpr int kX = 'X';
inline constexpr int kF4 = 0x73;
}  // namespace Key

// Window message numbers the message filters see, the Windows values on
// every system so that filters are written once.
namespace Message {
inline constexpr std::uint32_t kClose = 0x0010;    // a close request (Alt+F4, system menu)
inline constexpr std::uint32_t kEndSession = 0x0016;  // the user's session ends (wParam non-zero)
inline constexpr std::uint32_t kKeyDown = 0x0100;  // wParam = key code
inline constexpr std::uint32_t kKeyUp = 0x0101;
inline constexpr std::uint32_t kChar = 0x0102;     // wParam = UTF-32 character
inline constexpr std::uint32_t kTimer = 0x0113;    // wParam = timer id (window-level timers)
inline constexpr std::uint32_t kUser = 0x0400;     // first private message number
}  // namespace Message

enum class CursorKind { kArrow, kHand, kIBeam };

// The drop shadow a layout asks for ("showshadow" and friends); drawn by the
// host, which owns the shadow window. Values are already range-checked.
struct ShadowSettings {
  bool enabled = false;
  int darkness = 150;   // 0..255
  int sharpness = 5;    // 0..20
  int size = 0;         // -20..20
  int offsetX = 5;      // -20..20
  int offsetY = 5;      // -20..20
  Color color = 0;      // 0xAARRGGBB as written; the alpha part is not used
  std::wstring image;   // "shadowimage": drawn instead of a computed shadow
  Rect imageCorner;     // "shadowcorner"
};

class IHost {
 public:
  virtual ~IHost() = default;

  // ---- output -------------------------------------------------------------
  // `canvas` holds the whole window; only `dirty` changed since the last call.
  virtual void Present(const Canvas& canvas, const Rect& dirty) = 0;
  // A part of the window became dirty: the loop should call RunPending soon.
  // Never repaint from inside this call.
  virtual void RequestPaint() = 0;

  // ---- the native window ----------------------------------------------------
  virtual void Show(bool visible) = 0;
  // A disabled window takes no input (its modal dialog's owner).
  virtual void SetEnabled(bool enabled) = 0;
  // The window closed: hide it and stop feeding input. The host object stays
  // alive until its Window is destroyed.
  virtual void Close() = 0;
  virtual void Minimize() = 0;
  // Centres over the owner window, or on the screen when there is none.
  virtual void Center() = 0;
  virtual void SetTitle(const std::wstring& title) = 0;
  // The picture window lists and task switchers show for the window. A host
  // whose system takes the icon from elsewhere (a program resource) ignores it.
  virtual void SetIcon(const Image& icon) = 0;
  // The window's size in device pixels changed (its display's scale did);
  // the native window and its buffers follow, keeping the top-left corner.
  virtual void Resize(Size device) = 0;
  // "roundcorner": ellipse width and height of the window's corners (0: square).
  virtual void SetRoundCorner(Size ellipse) = 0;
  virtual void SetShadow(const ShadowSettings& shadow) = 0;
  // Keep mouse input while a button is held, even outside the window.
  virtual void SetCapture(bool capture) = 0;
  virtual void SetCursor(CursorKind cursor) = 0;
  // An edit has the keyboard focus at `caret` (window coordinates): text
  // input (and on Windows the IME's composition window) goes there.
  // `active` false ends text input.
  virtual void SetTextInput(bool active, const Rect& caret) = 0;

  virtual std::wstring ClipboardText() = 0;
  virtual void SetClipboardText(const std::wstring& text) = 0;

  // ---- clock and loop ---------------------------------------------------------
  // Milliseconds of a monotonic clock; all timers of the core run on it.
  virtual std::uint64_t NowMs() = 0;
  // The earliest timer deadline may have moved: recompute how long to sleep.
  virtual void TimersChanged() = 0;
  // Called from any thread after work was posted to the window: the loop
  // must wake up and call RunPending.
  virtual void Wake() = 0;
  // Dispatches input, posted work and timers of every window of this thread
  // until `done` returns true (checked after each step), for modal runs.
  virtual void RunModalLoop(const std::function<bool()>& done) = 0;
  // Ends every loop of the thread (the program is shutting down).
  virtual void PostQuit(int code) = 0;
};

// Makes the host of a new window. A window's dialogs use its own factory, so
// a dialog opened by an offscreen window is offscreen too.
class IHostFactory {
 public:
  virtual ~IHostFactory() = default;
  // `owner` is the window that owns the new one (nullptr for a top-level one);
  // `size` in device pixels.
  virtual std::unique_ptr<IHost> CreateHost(Window& window, Window* owner, Size size) = 0;
  // Device pixels per layout unit for a new window: 1.0 at 96 DPI, 2.0 on a
  // 200 % display.
  virtual double DisplayScale() { return 1.0; }
};

}  // namespace Ui
