// Hands the windows' accessible trees (accessible_tree.h) to the system's
// assistive technologies: AT-SPI on Linux (accessibility_bridge_posix.cpp,
// through ATK and its D-Bus bridge), UI Automation on Windows
// (accessibility_bridge_win.cpp). A host makes one bridge per thread and
// registers each window it shows.
#pragma once

#include <memory>

namespace Ui {

class Window;

class AccessibilityBridge {
 public:
  virtual ~AccessibilityBridge() = default;
  // The window is exposed until the returned handle dies (before the window).
  class Registration {
   public:
    virtual ~Registration() = default;
  };
  virtual std::unique_ptr<Registration> Register(Window& window) = 0;
  // Called by the host's loop: answers the assistive technologies' requests
  // and sends the changes gathered since the last call. Never blocks.
  virtual void Pump() = 0;
  // Whether the loop must call Pump on its own schedule (requests arrive
  // on a channel the host's wait does not watch): then it sleeps at most
  // PumpIntervalMs between calls.
  virtual bool NeedsPolling() const = 0;
  static constexpr int kPumpIntervalMs = 15;
};

// The bridge of this system; nullptr when no assistive technology can be
// reached (no accessibility bus), so the window costs nothing then.
std::unique_ptr<AccessibilityBridge> CreateAccessibilityBridge();

}  // namespace Ui
