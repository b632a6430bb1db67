// The one implementation of the tracker: validation and properties per the
// catalogue, the common properties, and the flushing. Counted and later
// events only count (one atomic add on the reporting thread); events that
// ask for an immediate flush flush on the reporting thread while the service
// answers, otherwise on a short detached worker; a periodic thread runs when
// background services do; the tracker's end flushes what was counted.
#pragma once

#include <atomic>
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

// What flush workers share with the tracker. Held by shared pointer so that a
// detached worker never touches a tracker that is gone; the tracker also
// waits for its workers before its final flush.
struct FlushShared {
  std::atomic<std::int32_t> pending{0};
  std::mutex workersMutex;
  std::condition_variable workersDone;
  int activeWorkers = 0;
};

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
  std::int32_t pendingCount() const { return flush_->pending.load(); }

 private:
  enum class FlushClass { Now, Count, Later };
  void Send(TrackEventType kind, const std::string& eventName, zv_transport::PropertiesNode properties,
            const ZvContextProperties* context, FlushClass flushClass);
  void notifySend(bool flushNow);
  static void FlushWorker(const std::shared_ptr<FlushShared>& shared, bool flushNow);
  void FlushThread();
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
  std::shared_ptr<FlushShared> flush_ = std::make_shared<FlushShared>();
  std::mutex loginMutex_;
  std::atomic<bool> stopFlushThread_{false};
  std::thread flushThread_;
};

// Merges the entries registered for `kind` into `properties` (later wins).
void MergeContextProperties(const ZvContextProperties& context, TrackEventType kind,
                            zv_transport::PropertiesNode& properties);

}  // namespace zorvan::analytics
