// The one implementation of the tracker: validation and properties per the
// catalogue, the common properties, and the flushing. Every record is in the
// journal once queued; counted and later events only count (one atomic add
// on the reporting thread), and the funnel's tasks mark the moments the
// journal is forced to disk. One flush thread per tracker does all sending:
// events that ask for an immediate flush wake it, records left by earlier
// runs are sent when it starts, it runs periodically when background
// services do, and the tracker's end has it send what is queued within a
// bound of three seconds.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "analytics/analytics_tracker.h"
#include "analytics/local_state.h"
#include "analytics/sdk/value_node.h"
#include "analytics/system_facts.h"
#include "analytics/track_logger.h"
#include "analytics/user_tracker.h"

namespace zorvan::analytics {

struct TrackerInitParams {
  std::string appName, appVersion, appStore, dlAppId, dlAppVersion, unused, logFilePath;
  std::int32_t edition = 0;
  std::string serverUrl;
  // Where the location-and-time service answers, and extra certificate
  // authorities for both services (a PEM file); empty: none.
  std::string locationServiceUrl;
  std::string caBundle;
  std::string proxySetting;  // "ProxyUrl" (UTF-8)
  // Replaces the configuration file "Set.ini" would name; empty: the usual rule.
  std::string configFileOverride;
  // The periodic flush thread and the location lookup; off in the installer.
  bool backgroundServices = false;
};

// How long the final flush at the tracker's end may take in all.
inline constexpr std::chrono::milliseconds kExitFlushBudget{3000};

class AnalyticsTrackerImpl : public AnalyticsTracker {
 public:
  explicit AnalyticsTrackerImpl(const TrackerInitParams& params);
  ~AnalyticsTrackerImpl() override;

  // Throws ZvException when a required parameter is missing or the
  // transport refuses the identity.
  void init();

  ZV_TRACKER_OPERATIONS(ZV_TRACKER_OVERRIDE)
  std::string getPrimaryDistinctId() override;
  TrackLogger* getLogger() override { return logger_.get(); }

  const LocalState& localState() const { return *state_; }
  std::int32_t pendingCount() const { return pending_.load(); }

 private:
  enum class FlushClass { Now, Count, Later };
  void Send(TrackEventType kind, const std::string& eventName, zv_transport::PropertiesNode properties,
            const ZvContextProperties* context, FlushClass flushClass);
  void notifySend(bool flushNow);
  // Asks the flush thread to send what is queued, or to force the journal
  // to disk.
  void Wake(bool flush, bool sync);
  void FlushThread();
  void BackgroundRound();
  AppIdentity App() const { return {appName_, appVersion_, appStore_}; }
  LocaleParts Locale() const;
  void RunPendingLogin(const LocationResult* location);

  std::string serverUrl_, appName_, appVersion_, appStore_, dlAppId_, dlAppVersion_;
  std::unique_ptr<NativeTrackLogger> logger_;
  bool debug_ = false;
  std::int32_t edition_ = 0;
  std::unique_ptr<LocalState> state_;
  std::string locationServiceUrl_, caBundle_, proxySetting_, configFileOverride_;
  bool transportStarted_ = false;
  std::atomic<std::int32_t> pending_{0};
  std::mutex loginMutex_;
  std::mutex flushMutex_;
  std::condition_variable flushWake_;
  bool flushRequested_ = false;
  bool syncRequested_ = false;
  bool stopping_ = false;
  std::chrono::steady_clock::time_point exitDeadline_;
  std::thread flushThread_;
};

// Merges the entries registered for `kind` into `properties` (later wins).
void MergeContextProperties(const ZvContextProperties& context, TrackEventType kind,
                            zv_transport::PropertiesNode& properties);

}  // namespace zorvan::analytics
