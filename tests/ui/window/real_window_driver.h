// Drives the installer program's real window from outside, as a person at
// the screen does: waits for it to show, reads which page it shows and
// clicks its controls. Every wait polls the screen with a limit; nothing is
// timed by sleeping alone.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/window/page_reader.h"
#include "ui/window/real_screen.h"

namespace RealWindow {

class RealWindowDriver {
 public:
  // `running` answers whether the program still runs: waits end early when
  // it has ended.
  RealWindowDriver(Screen& screen, const PageReader& reader, std::uint32_t processId,
                   std::function<bool()> running);

  // Waits for the program's main window to show on the screen.
  bool WaitForWindow(std::chrono::milliseconds limit);
  const Ui::Rect& WindowRect() const { return window_; }

  // The window's client area as the screen shows it now.
  Picture Look();
  // Waits until the screen shows `page`; the picture that showed it. `each`
  // sees every picture taken meanwhile with the page it showed (kNoPage
  // included). The error, when it returns nothing, says what was seen.
  std::optional<Picture> WaitForPage(int page, std::chrono::milliseconds limit,
                                     const std::function<void(const Picture&, int)>& each = {});
  // Clicks the middle of a control of the main window's layout.
  bool ClickControl(const std::wstring& name);
  // Clicks a point of the window, in window coordinates.
  void ClickAt(Ui::Point point);

  const std::string& Error() const { return error_; }

 private:
  Screen& screen_;
  const PageReader& reader_;
  std::uint32_t processId_;
  std::function<bool()> running_;
  Ui::Rect window_;
  std::string error_;
};

// Polls `condition` until it holds or `limit` has passed; whether it held.
bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

}  // namespace RealWindow
