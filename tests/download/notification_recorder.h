// Collects a downloader's notifications, from whatever thread they come,
// and lets a test wait for the outcome.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "download/downloader.h"

namespace TestSupport {

struct Notification {
  std::int32_t code;
  double value;
  std::wstring text;
};

class NotificationRecorder {
 public:
  // A callback that records into this recorder; `onNotify`, when set, runs
  // afterwards on the notifying thread (for example to call Start again).
  NotifyCallback Callback(std::function<void(const Notification&)> onNotify = {});

  // Waits until `count` outcome notifications (SUCCESS, FAIL or RETRY) have
  // arrived, or the time is up. True when they did.
  bool WaitForOutcomes(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(120));

  // Everything so far, in arrival order.
  std::vector<Notification> All() const;
  // The codes so far with PROGRESS left out, e.g. {1001, 1006, 1005, 1001, 1003}.
  std::vector<std::int32_t> CodesWithoutProgress() const;
  std::vector<double> ProgressValues() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Notification> notifications_;
  std::size_t outcomes_ = 0;
};

}  // namespace TestSupport
