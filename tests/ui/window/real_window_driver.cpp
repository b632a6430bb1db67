#include "ui/window/real_window_driver.h"

#include <thread>

namespace RealWindow {

namespace {

// Between two looks at the screen: often enough to see a page that shows for
// a fraction of a second, rarely enough to leave the program the processor.
constexpr auto kPollInterval = std::chrono::milliseconds(25);

}  // namespace

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

RealWindowDriver::RealWindowDriver(Screen& screen, const PageReader& reader, std::uint32_t processId,
                                   std::function<bool()> running)
    : screen_(screen), reader_(reader), processId_(processId), running_(std::move(running)) {}

bool RealWindowDriver::WaitForWindow(std::chrono::milliseconds limit) {
  bool ended = false;
  const bool shown = PollUntil(
      [&] {
        if (std::optional<Ui::Rect> r = screen_.WindowOf(processId_, reader_.WindowSize())) {
          window_ = *r;
          return true;
        }
        ended = !running_();
        return ended;
      },
      limit);
  if (shown && !ended) return true;
  error_ = ended ? "the program ended before its window showed"
                 : "no window of the program showed within " + std::to_string(limit.count() / 1000) + " s";
  return false;
}

Picture RealWindowDriver::Look() { return screen_.Capture(window_); }

std::optional<Picture> RealWindowDriver::WaitForPage(int page, std::chrono::milliseconds limit,
                                                     const std::function<void(const Picture&, int)>& each) {
  std::optional<Picture> showing;
  int lastSeen = PageReader::kNoPage;
  double lastMatch = 0.0;
  bool ended = false;
  PollUntil(
      [&] {
        // The window may have gone (the program ended) between two looks.
        if (!running_()) {
          ended = true;
          return true;
        }
        Picture picture = Look();
        const int seen = reader_.PageShown(picture);
        if (each) each(picture, seen);
        lastSeen = seen;
        lastMatch = reader_.Match(picture, page);
        if (seen == page) showing = std::move(picture);
        return showing.has_value();
      },
      limit);
  if (showing) return showing;
  error_ = "page " + std::to_string(page) + " did not show within " + std::to_string(limit.count() / 1000) +
           " s" + (ended ? " (the program ended)" : "") + "; the screen last showed " +
           (lastSeen == PageReader::kNoPage ? std::string("no page") : "page " + std::to_string(lastSeen)) +
           ", matching page " + std::to_string(page) + " by " + std::to_string(static_cast<int>(lastMatch * 100)) +
           " %";
  return std::nullopt;
}

void RealWindowDriver::ClickAt(Ui::Point point) { screen_.Click({window_.left + point.x, window_.top + point.y}); }

bool RealWindowDriver::ClickControl(const std::wstring& name) {
  const std::optional<Ui::Point> centre = reader_.CentreOf(name);
  if (!centre) {
    error_ = "the layout has no such control to click";
    return false;
  }
  screen_.Click({window_.left + centre->x, window_.top + centre->y});
  return true;
}

}  // namespace RealWindow
