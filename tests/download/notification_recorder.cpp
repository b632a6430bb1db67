#include "notification_recorder.h"

namespace TestSupport {

NotifyCallback NotificationRecorder::Callback(std::function<void(const Notification&)> onNotify) {
  return [this, onNotify](std::int32_t code, double value, const wchar_t* text) {
    const Notification notification{code, value, text};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      notifications_.push_back(notification);
      if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || code == DL_CODE_RETRY) ++outcomes_;
    }
    changed_.notify_all();
    if (onNotify) onNotify(notification);
  };
}

bool NotificationRecorder::WaitForOutcomes(std::size_t count, std::chrono::seconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return outcomes_ >= count; });
}

std::vector<Notification> NotificationRecorder::All() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notifications_;
}

std::vector<std::int32_t> NotificationRecorder::CodesWithoutProgress() const {
  std::vector<std::int32_t> codes;
  for (const Notification& n : All())
    if (n.code != DL_CODE_PROGRESS) codes.push_back(n.code);
  return codes;
}

std::vector<double> NotificationRecorder::ProgressValues() const {
  std::vector<double> values;
  for (const Notification& n : All())
    if (n.code == DL_CODE_PROGRESS) values.push_back(n.value);
  return values;
}

}  // namespace TestSupport
