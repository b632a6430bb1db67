#include <iostream>

#include "analytics/analytics_tracker.h"

namespace zorvan::analytics {

AnalyticsTrackerWrapper::AnalyticsTrackerWrapper(std::unique_ptr<AnalyticsTracker> impl)
    : impl_(std::move(impl)) {}

AnalyticsTrackerWrapper::~AnalyticsTrackerWrapper() = default;

template <typename Call>
void AnalyticsTrackerWrapper::Guard(const char* method, Call&& call) {
  if (!impl_) return;
  try {
    call(*impl_);
  } catch (...) {
    try {
      if (impl_->getLogger() != nullptr) std::cout << "Failed to " << method << std::endl;
    } catch (...) {
    }
  }
}

#define ZV_TRACKER_GUARDED(name, parameters, arguments)                                                         \
  void AnalyticsTrackerWrapper::name parameters {                                                               \
    Guard(#name, [&](AnalyticsTracker& t) { t.name arguments; });                                               \
  }
ZV_TRACKER_OPERATIONS(ZV_TRACKER_GUARDED)
#undef ZV_TRACKER_GUARDED

std::string AnalyticsTrackerWrapper::getPrimaryDistinctId() {
  std::string id;
  Guard("getPrimaryDistinctId", [&](AnalyticsTracker& t) { id = t.getPrimaryDistinctId(); });
  return id;
}

}  // namespace zorvan::analytics
