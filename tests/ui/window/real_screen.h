// The screen a person looks at, for driving the real installer program in its
// real window: finding the window another process shows, reading the pixels
// the screen shows there and clicking as a person does. On Linux the X
// display of DISPLAY with XTest input (real_screen_posix.cpp); on Windows, and
// so under Wine, the desktop with SendInput (real_screen_win.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/framework/geometry.h"
#include "ui/framework/host.h"  // Point

namespace RealWindow {

// Pixels of a part of the screen, row by row, each 0xRRGGBB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // The part inside `r` (in this picture's coordinates, clipped to it).
  Picture Part(const Ui::Rect& r) const;
  // False when it cannot be written.
  bool WritePng(const std::string& path) const;
};

class Screen {
 public:
  virtual ~Screen() = default;

  // This system's screen; nullptr with the reason in `error` when none can
  // be reached (Linux without an X display).
  static std::unique_ptr<Screen> Open(std::string& error);

  // Where the client area of the shown top-level window of process
  // `processId` with that size is on the screen; nothing while it has none.
  virtual std::optional<Ui::Rect> WindowOf(std::uint32_t processId, Ui::Size size) = 0;
  // The size of the largest icon that window (as WindowOf finds it) gives the
  // window lists and task switchers; nothing without one.
  virtual std::optional<Ui::Size> IconOf(std::uint32_t processId, Ui::Size size) = 0;
  // What the screen shows inside `r`; empty when it cannot be read.
  virtual Picture Capture(const Ui::Rect& r) = 0;
  // Moves the pointer there and presses and releases the left button.
  virtual void Click(Ui::Point screen) = 0;
  // Moves the pointer there without clicking.
  virtual void MovePointer(Ui::Point screen) = 0;
  // Presses and releases a key (Ui::Key) with its modifiers held, as the
  // keyboard does; it goes to the window that has the keyboard focus.
  virtual void PressKey(int key, Ui::KeyModifiers modifiers = {}) = 0;
};

// Ends a process at once (SIGKILL, TerminateProcess); false when it could not
// be asked to (already gone, or not ours).
bool EndProcess(std::uint32_t processId);

}  // namespace RealWindow
