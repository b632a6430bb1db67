// The tracker's public face: the interface every caller holds, the logger
// interface, and the wrapper that swallows the implementation's exceptions.
#pragma once

#include <memory>
#include <string>

#include "analytics/context_properties.h"
#include "analytics/event_records.h"

namespace zorvan::analytics {

class TrackLogger {
 public:
  virtual ~TrackLogger() = default;
  virtual void write(const std::string& line) = 0;
  virtual void close() = 0;
};

class AnalyticsTracker {
 public:
  virtual ~AnalyticsTracker() = default;
  virtual void trackActivity(const ZvEventActivity& event, const ZvContextProperties& context) = 0;
  virtual void trackLaunch(const ZvContextProperties& context) = 0;
  virtual void trackLogin(const ZvEventLogin& event, bool success, const std::string& reason,
                          const ZvContextProperties& context) = 0;
  virtual void trackClick(const ZvEventClick& event, const ZvContextProperties& context) = 0;
  virtual void trackView(const ZvEventView& event, const ZvContextProperties& context) = 0;
  virtual void trackCashier(const ZvEventCashier& event, const ZvContextProperties& context) = 0;
  virtual void trackShare(const ZvEventShare& event, const ZvContextProperties& context) = 0;
  virtual void trackTask(const ZvEventTask& event, const ZvContextProperties& context) = 0;
  virtual void trackFile(const ZvEventFile& event, const ZvContextProperties& context) = 0;
  virtual void trackOrder(const ZvEventOrder& event, const ZvContextProperties& context) = 0;
  virtual void trackPayment(const ZvEventPayment& event, const ZvContextProperties& context) = 0;
  virtual void trackUninstall(const std::string& reason, const ZvContextProperties& context) = 0;
  virtual void trackCrash(const std::string& reason) = 0;
  virtual void trackUpdate(const ZvEventUpdate& event, const ZvContextProperties& context) = 0;
  // Null: the record is missing (refused).
  virtual void trackAppOpenNotification(const AppOpenNotification* event,
                                        const ZvContextProperties& context) = 0;
  virtual void setLocale(const std::string& locale) = 0;
  virtual std::string getPrimaryDistinctId() = 0;
  virtual TrackLogger* getLogger() = 0;
};

// Forwards to an owned implementation and catches whatever it throws: an
// event that fails validation is dropped, and "Failed to <method>" goes to
// the standard output stream when the implementation has a logger.
class AnalyticsTrackerWrapper : public AnalyticsTracker {
 public:
  explicit AnalyticsTrackerWrapper(std::unique_ptr<AnalyticsTracker> impl);
  ~AnalyticsTrackerWrapper() override;

  void trackActivity(const ZvEventActivity& event, const ZvContextProperties& context) override;
  void trackLaunch(const ZvContextProperties& context) override;
  void trackLogin(const ZvEventLogin& event, bool success, const std::string& reason,
                  const ZvContextProperties& context) override;
  void trackClick(const ZvEventClick& event, const ZvContextProperties& context) override;
  void trackView(const ZvEventView& event, const ZvContextProperties& context) override;
  void trackCashier(const ZvEventCashier& event, const ZvContextProperties& context) override;
  void trackShare(const ZvEventShare& event, const ZvContextProperties& context) override;
  void trackTask(const ZvEventTask& event, const ZvContextProperties& context) override;
  void trackFile(const ZvEventFile& event, const ZvContextProperties& context) override;
  void trackOrder(const ZvEventOrder& event, const ZvContextProperties& context) override;
  void trackPayment(const ZvEventPayment& event, const ZvContextProperties& context) override;
  void trackUninstall(const std::string& reason, const ZvContextProperties& context) override;
  void trackCrash(const std::string& reason) override;
  void trackUpdate(const ZvEventUpdate& event, const ZvContextProperties& context) override;
  void trackAppOpenNotification(const AppOpenNotification* event,
                                const ZvContextProperties& context) override;
  void setLocale(const std::string& locale) override;
  std::string getPrimaryDistinctId() override;
  TrackLogger* getLogger() override { return nullptr; }

 private:
  template <typename Call>
  void Guard(const char* method, Call&& call);

  std::unique_ptr<AnalyticsTracker> impl_;
};

}  // namespace zorvan::analytics
