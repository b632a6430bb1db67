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

void AnalyticsTrackerWrapper::trackActivity(const ZvEventActivity& event,
                                            const ZvContextProperties& context) {
  Guard("trackActivity", [&](AnalyticsTracker& t) { t.trackActivity(event, context); });
}
void AnalyticsTrackerWrapper::trackLaunch(const ZvContextProperties& context) {
  Guard("trackLaunch", [&](AnalyticsTracker& t) { t.trackLaunch(context); });
}
void AnalyticsTrackerWrapper::trackLogin(const ZvEventLogin& event, bool success,
                                         const std::string& reason,
                                         const ZvContextProperties& context) {
  Guard("trackLogin", [&](AnalyticsTracker& t) { t.trackLogin(event, success, reason, context); });
}
void AnalyticsTrackerWrapper::trackClick(const ZvEventClick& event, const ZvContextProperties& context) {
  Guard("trackClick", [&](AnalyticsTracker& t) { t.trackClick(event, context); });
}
void AnalyticsTrackerWrapper::trackView(const ZvEventView& event, const ZvContextProperties& context) {
  Guard("trackView", [&](AnalyticsTracker& t) { t.trackView(event, context); });
}
void AnalyticsTrackerWrapper::trackCashier(const ZvEventCashier& event,
                                           const ZvContextProperties& context) {
  Guard("trackCashier", [&](AnalyticsTracker& t) { t.trackCashier(event, context); });
}
void AnalyticsTrackerWrapper::trackShare(const ZvEventShare& event, const ZvContextProperties& context) {
  Guard("trackShare", [&](AnalyticsTracker& t) { t.trackShare(event, context); });
}
void AnalyticsTrackerWrapper::trackTask(const ZvEventTask& event, const ZvContextProperties& context) {
  Guard("trackTask", [&](AnalyticsTracker& t) { t.trackTask(event, context); });
}
void AnalyticsTrackerWrapper::trackFile(const ZvEventFile& event, const ZvContextProperties& context) {
  Guard("trackFile", [&](AnalyticsTracker& t) { t.trackFile(event, context); });
}
void AnalyticsTrackerWrapper::trackOrder(const ZvEventOrder& event, const ZvContextProperties& context) {
  Guard("trackOrder", [&](AnalyticsTracker& t) { t.trackOrder(event, context); });
}
void AnalyticsTrackerWrapper::trackPayment(const ZvEventPayment& event,
                                           const ZvContextProperties& context) {
  Guard("trackPayment", [&](AnalyticsTracker& t) { t.trackPayment(event, context); });
}
void AnalyticsTrackerWrapper::trackUninstall(const std::string& reason,
                                             const ZvContextProperties& context) {
  Guard("trackUninstall", [&](AnalyticsTracker& t) { t.trackUninstall(reason, context); });
}
void AnalyticsTrackerWrapper::trackCrash(const std::string& reason) {
  Guard("trackCrash", [&](AnalyticsTracker& t) { t.trackCrash(reason); });
}
void AnalyticsTrackerWrapper::trackUpdate(const ZvEventUpdate& event, const ZvContextProperties& context) {
  Guard("trackUpdate", [&](AnalyticsTracker& t) { t.trackUpdate(event, context); });
}
void AnalyticsTrackerWrapper::trackAppOpenNotification(const AppOpenNotification* event,
                                                       const ZvContextProperties& context) {
  Guard("trackAppOpenNotification",
        [&](AnalyticsTracker& t) { t.trackAppOpenNotification(event, context); });
}
void AnalyticsTrackerWrapper::setLocale(const std::string& locale) {
  Guard("setLocale", [&](AnalyticsTracker& t) { t.setLocale(locale); });
}
std::string AnalyticsTrackerWrapper::getPrimaryDistinctId() {
  std::string id;
  Guard("getPrimaryDistinctId", [&](AnalyticsTracker& t) { id = t.getPrimaryDistinctId(); });
  return id;
}

}  // namespace zorvan::analytics
