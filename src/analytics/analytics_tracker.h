// The tracker's public face: the interface every caller holds, the logger
// interface, and the wrapper that swallows the implementation's exceptions.
#pragma once

#include <memory>
#include <string>

#include "analytics/context_properties.h"
#include "analytics/event_records.h"

// The tracker's operations that answer nothing, listed once: the interface
// declares them, the wrapper and the implementation override them and the
// wrapper guards each. X(name, parameters, arguments).
#define ZV_TRACKER_OPERATIONS(X)                                                                                \
  X(trackActivity, (const ZvEventActivity& event, const ZvContextProperties& context), (event, context))        \
  X(trackLaunch, (const ZvContextProperties& context), (context))                                               \
  X(trackLogin,                                                                                                 \
    (const ZvEventLogin& event, bool success, const std::string& reason, const ZvContextProperties& context),   \
    (event, success, reason, context))                                                                          \
  X(trackClick, (const ZvEventClick& event, const ZvContextProperties& context), (event, context))              \
  X(trackView, (const ZvEventView& event, const ZvContextProperties& context), (event, context))                \
  X(trackCashier, (const ZvEventCashier& event, const ZvContextProperties& context), (event, context))          \
  X(trackShare, (const ZvEventShare& event, const ZvContextProperties& context), (event, context))              \
  X(trackTask, (const ZvEventTask& event, const ZvContextProperties& context), (event, context))                \
  X(trackFile, (const ZvEventFile& event, const ZvContextProperties& context), (event, context))                \
  X(trackOrder, (const ZvEventOrder& event, const ZvContextProperties& context), (event, context))              \
  X(trackPayment, (const ZvEventPayment& event, const ZvContextProperties& context), (event, context))          \
  X(trackUninstall, (const std::string& reason, const ZvContextProperties& context), (reason, context))         \
  X(trackCrash, (const std::string& reason), (reason))                                                          \
  X(trackUpdate, (const ZvEventUpdate& event, const ZvContextProperties& context), (event, context))            \
  /* A null event: the record is missing (refused). */                                                          \
  X(trackAppOpenNotification, (const AppOpenNotification* event, const ZvContextProperties& context),           \
    (event, context))                                                                                           \
  X(setLocale, (const std::string& locale), (locale))

#define ZV_TRACKER_PURE(name, parameters, arguments) virtual void name parameters = 0;
#define ZV_TRACKER_OVERRIDE(name, parameters, arguments) void name parameters override;

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
  ZV_TRACKER_OPERATIONS(ZV_TRACKER_PURE)
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

  ZV_TRACKER_OPERATIONS(ZV_TRACKER_OVERRIDE)
  std::string getPrimaryDistinctId() override;
  TrackLogger* getLogger() override { return nullptr; }

 private:
  template <typename Call>
  void Guard(const char* method, Call&& call);

  std::unique_ptr<AnalyticsTracker> impl_;
};

}  // namespace zorvan::analytics
