#include "analytics/tracker_impl.h"

#include <chrono>

#include "analytics/event_catalogue.h"
#include "analytics/sdk/http_post.h"
#include "analytics/sdk/record_builder.h"
#include "analytics/sdk/sdk.h"
#include "analytics/user_tracker.h"
#include "analytics/zv_exception.h"
#include "support/debug_log_platform.h"

namespace zorvan::analytics {

namespace {

using zv_transport::PropertiesNode;
using zv_transport::Sdk;

// Built-in collection servers for debug and release runs: none; the server
// comes from the caller.
constexpr char kDefaultDebugServerUrl[] = "";
constexpr char kDefaultReleaseServerUrl[] = "";

std::mutex& WorkerMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

void MergeContextProperties(const ZvContextProperties& context, TrackEventType kind,
                            PropertiesNode& properties) {
  for (const ZvContextEntry& entry : context.getEventProperties(static_cast<std::int32_t>(kind))) {
    if (entry.value) properties.SetString(entry.name, *entry.value);
  }
}

AnalyticsTrackerImpl::AnalyticsTrackerImpl(const TrackerInitParams& params)
    : serverUrl_(params.serverUrl), appName_(params.appName), appVersion_(params.appVersion),
      appStore_(params.appStore), dlAppId_(params.dlAppId), dlAppVersion_(params.dlAppVersion),
      edition_(params.edition), state_(std::make_unique<LocalState>(params.logFilePath)),
      locationServiceUrl_(params.locationServiceUrl), caBundle_(params.caBundle), proxySetting_(params.proxySetting),
      configFileOverride_(params.configFileOverride) {
  state_->backgroundServicesDisabled = !params.backgroundServices;
}

void AnalyticsTrackerImpl::init() {
  debug_ = false;
  if (appName_.empty()) ThrowZv("init", "appName is empty");
  if (appVersion_.empty()) ThrowZv("init", "appVersion is empty");
  if (appStore_.empty()) ThrowZv("init", "appStore is empty");
  if (!state_->backgroundServicesDisabled) {
    ZvLocationTime::start({locationServiceUrl_, caBundle_, proxySetting_});
  }
  flush_->pending.exchange(0);
  if (configFileOverride_.empty()) {
    state_->resolvePaths(appName_);
  } else {
    state_->resolvePaths(appName_, LocalPathInputs{{}, {}, configFileOverride_});
  }
  if (serverUrl_.empty()) serverUrl_ = debug_ ? kDefaultDebugServerUrl : kDefaultReleaseServerUrl;
  state_->load();
  state_->checkIdentity(serverUrl_);
  logger_ = std::make_unique<NativeTrackLogger>(state_->logFilePath);

  const bool loggedIn = state_->loggedIn && !state_->userId.empty();
  if (!Sdk::Init(state_->stagingFilePath(), {serverUrl_, caBundle_, proxySetting_},
                 loggedIn ? state_->userId : state_->distinctId, loggedIn)) {
    ThrowZv("init", "zv_transport::Sdk::Init is failed");
  }
  transportStarted_ = true;

  PropertiesNode common;
  common.SetString("zv_app_id", appName_);
  common.SetString("$app_version", appVersion_);
  common.SetString("$app_id", appName_);
  common.SetString("zv_app_store", appStore_);
  common.SetString("zv_edition", ToText(static_cast<ZvEdition>(edition_), "init"));
  if (!dlAppId_.empty()) common.SetString("zv_dlapp_id", dlAppId_);
  if (!dlAppVersion_.empty()) common.SetString("zv_dlapp_version", dlAppVersion_);
  common.SetString("zv_app_platform", "Windows");
  common.SetString("zv_track_type", "Client");
  common.SetString("zv_sdk_version", "3.3.8");
  common.SetString("zv_sdk", "WindowsCPP");
  const OsNameAndVersion os = QueryOsNameAndVersion();
  common.SetString("$os", os.name);
  common.SetString("$os_version", os.version);
  const LocaleParts locale = Locale();
  common.SetString("zv_l10n_locale", locale.text);
  common.SetString("zv_l10n_language", locale.language);
  common.SetString("zv_l10n_country", locale.country);
  std::int32_t width = 0, height = 0;
  QueryScreenSize(width, height);
  common.SetInteger("$screen_height", height);
  common.SetInteger("$screen_width", width);
  if (!state_->userId.empty()) common.SetString("zv_user_id", state_->userId);
  Sdk::registerCommonProperties(common);

  state_->writeAppIdentity(appName_, appVersion_, appStore_);
  if (!state_->backgroundServicesDisabled) {
    stopFlushThread_ = false;
    flushThread_ = std::thread([this] { FlushThread(); });
  }
}

AnalyticsTrackerImpl::~AnalyticsTrackerImpl() {
  state_->save();
  if (!state_->backgroundServicesDisabled) {
    LocationResult location;
    if (ZvLocationTime::takeResult(location)) {
      state_->lastLocation = location;
    } else {
      state_->loadLocation();
    }
    try {
      RunPendingLogin(&state_->lastLocation);
    } catch (...) {
    }
  }
  stopFlushThread_ = true;
  if (flushThread_.joinable()) flushThread_.join();
  {
    // A worker still on its way would otherwise count a record after the
    // final flush decided there was nothing to send.
    std::unique_lock<std::mutex> lock(flush_->workersMutex);
    flush_->workersDone.wait(lock, [this] { return flush_->activeWorkers == 0; });
  }
  if (transportStarted_ && flush_->pending.load() > 0) {
    std::lock_guard<std::mutex> lock(WorkerMutex());
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (Sdk::Flush()) {
        flush_->pending.exchange(0);
        break;
      }
    }
  }
  if (!state_->backgroundServicesDisabled) ZvLocationTime::stop();
  if (transportStarted_) Sdk::Shutdown();
  state_.reset();
  if (logger_) logger_->close();
}

LocaleParts AnalyticsTrackerImpl::Locale() const {
  LocaleParts parts;
  if (SplitLocaleText(state_->storedLocale, parts)) return parts;
  return QuerySystemLocale();
}

void AnalyticsTrackerImpl::Send(TrackEventType kind, const std::string& eventName,
                                PropertiesNode properties, const ZvContextProperties* context,
                                FlushClass flushClass) {
  if (context != nullptr) MergeContextProperties(*context, kind, properties);
  Sdk::trackEvent(eventName, properties);
  if (debug_ && logger_) logger_->write(ToText(kind) + " " + eventName);
  switch (flushClass) {
    case FlushClass::Now: notifySend(true); break;
    case FlushClass::Count:
      flush_->pending.fetch_add(1);
      notifySend(false);
      break;
    case FlushClass::Later: notifySend(false); break;
  }
}

void AnalyticsTrackerImpl::notifySend(bool flushNow) {
  if (!flushNow) {
    // Counting an event is one atomic add: done here, it costs the reporting
    // thread neither a worker thread nor a wait.
    FlushWorker(flush_, false);
    return;
  }
  if (zv_transport::LastSendSucceeded()) {
    FlushWorker(flush_, flushNow);
    return;
  }
  Utils::EmitLogLine(L"[Analytics] Sending messages asynchronously\r\n");
  {
    std::lock_guard<std::mutex> lock(flush_->workersMutex);
    ++flush_->activeWorkers;
  }
  std::shared_ptr<FlushShared> shared = flush_;
  try {
    std::thread([shared, flushNow] {
      FlushWorker(shared, flushNow);
      std::lock_guard<std::mutex> lock(shared->workersMutex);
      if (--shared->activeWorkers == 0) shared->workersDone.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: count the event here; the next flush sends it.
    FlushWorker(shared, false);
    std::lock_guard<std::mutex> lock(shared->workersMutex);
    if (--shared->activeWorkers == 0) shared->workersDone.notify_all();
  }
}

void AnalyticsTrackerImpl::FlushWorker(const std::shared_ptr<FlushShared>& shared, bool flushNow) {
  if (!flushNow) {
    // Counting needs no lock, and must never wait behind a flush that is
    // talking to the network on another thread.
    shared->pending.fetch_add(1);
    return;
  }
  std::lock_guard<std::mutex> lock(WorkerMutex());
  for (int attempt = 0; attempt < 3 && shared->pending.load() > 0; ++attempt) {
    if (Sdk::Flush()) {
      shared->pending.exchange(0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void AnalyticsTrackerImpl::FlushThread() {
  auto flushPending = [this] {
    if (flush_->pending.load() > 0) {
      std::lock_guard<std::mutex> lock(WorkerMutex());
      if (Sdk::Flush()) flush_->pending.exchange(0);
    }
  };
  while (!stopFlushThread_) {
    flushPending();
    if (stopFlushThread_) break;
    for (int step = 0; step < 200 && !stopFlushThread_; ++step) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    LocationResult location;
    if (ZvLocationTime::takeResult(location)) {
      bool ran = false;
      {
        std::lock_guard<std::mutex> lock(loginMutex_);
        state_->lastLocation = location;
        ran = state_->pendingLogin.has_value();
      }
      if (ran) {
        try {
          RunPendingLogin(&location);
        } catch (...) {
        }
        notifySend(true);
      }
    }
    flushPending();
  }
}

void AnalyticsTrackerImpl::RunPendingLogin(const LocationResult* location) {
  std::optional<ZvEventLogin> user;
  std::int64_t visit = -1;
  {
    std::lock_guard<std::mutex> lock(loginMutex_);
    user.swap(state_->pendingLogin);
    visit = state_->pendingVisitTime;
    state_->pendingVisitTime = -1;
  }
  if (user) NativeUserTracker::AfterLogin(*user, App(), location, visit);
}

void AnalyticsTrackerImpl::trackActivity(const ZvEventActivity& event,
                                         const ZvContextProperties& context) {
  PropertiesNode properties;
  MergeContextProperties(context, TrackEventType::Activity, properties);
  AddActivityProperties(event, properties);
  const OsNameAndVersion os = QueryOsNameAndVersion();
  const std::string agent = UserAgentText(os);
  if (!agent.empty()) properties.SetString("$user_agent", agent);
  properties.SetString("$os", os.name);
  properties.SetString("$os_version", os.version);
  Sdk::trackInstallation("ZvEventActivity", properties);
  LocationResult location;
  const bool located = ZvLocationTime::takeResult(location);
  NativeUserTracker::AfterActivity(App(), os, located ? &location : nullptr);
  notifySend(true);
}

void AnalyticsTrackerImpl::trackLaunch(const ZvContextProperties& context) {
  PropertiesNode properties;
  MergeContextProperties(context, TrackEventType::Launch, properties);
  Sdk::trackEvent("ZvEventLaunch", properties);
  Sdk::trackEvent("ZvEventLaunch", PropertiesNode());
  LocationResult location;
  const bool located = ZvLocationTime::takeResult(location);
  NativeUserTracker::AfterLaunch(App(), located ? &location : nullptr);
  notifySend(true);
}

void AnalyticsTrackerImpl::trackLogin(const ZvEventLogin& event, bool success,
                                      const std::string& reason, const ZvContextProperties& context) {
  PropertiesNode properties = LoginProperties(event, success, reason);
  if (!event.userId.empty()) {
    if (!state_->loggedIn) Sdk::trackSignup(event.userId);
    state_->userId = event.userId;
    state_->loggedIn = true;
    PropertiesNode user;
    user.SetString("zv_user_id", event.userId);
    Sdk::registerCommonProperties(user);
    state_->save();
  }
  Send(TrackEventType::Login, "ZvEventLogin", std::move(properties), &context, FlushClass::Now);
  if (event.userId.empty()) return;
  LocationResult location;
  if (ZvLocationTime::takeResult(location)) {
    NativeUserTracker::AfterLogin(event, App(), &location, zv_transport::NowMilliseconds());
  } else {
    std::lock_guard<std::mutex> lock(loginMutex_);
    state_->pendingLogin = event;
    state_->pendingVisitTime = zv_transport::NowMilliseconds();
  }
}

void AnalyticsTrackerImpl::trackClick(const ZvEventClick& event, const ZvContextProperties& context) {
  Send(TrackEventType::Click, "ZvEventClick", ClickProperties(event), &context, FlushClass::Count);
}
void AnalyticsTrackerImpl::trackView(const ZvEventView& event, const ZvContextProperties& context) {
  Send(TrackEventType::View, "ZvEventView", ViewProperties(event), &context, FlushClass::Count);
}
void AnalyticsTrackerImpl::trackCashier(const ZvEventCashier& event,
                                        const ZvContextProperties& context) {
  Send(TrackEventType::Cashier, "ZvEventCashier", CashierProperties(event), &context,
       FlushClass::Count);
}
void AnalyticsTrackerImpl::trackShare(const ZvEventShare& event, const ZvContextProperties& context) {
  Send(TrackEventType::Share, "ZvEventShare", ShareProperties(event), &context, FlushClass::Count);
}
void AnalyticsTrackerImpl::trackTask(const ZvEventTask& event, const ZvContextProperties& context) {
  Send(TrackEventType::Task, "ZvEventTask", TaskProperties(event), &context, FlushClass::Later);
}
void AnalyticsTrackerImpl::trackFile(const ZvEventFile& event, const ZvContextProperties& context) {
  Send(TrackEventType::File, "ZvEventFile", FileProperties(event), &context, FlushClass::Count);
}
void AnalyticsTrackerImpl::trackOrder(const ZvEventOrder& event, const ZvContextProperties& context) {
  Send(TrackEventType::Order, "ZvEventOrder", OrderProperties(event), &context, FlushClass::Count);
}
void AnalyticsTrackerImpl::trackPayment(const ZvEventPayment& event,
                                        const ZvContextProperties& context) {
  Send(TrackEventType::Payment, "ZvEventPayment", PaymentProperties(event), &context,
       FlushClass::Now);
}
void AnalyticsTrackerImpl::trackUninstall(const std::string& reason,
                                          const ZvContextProperties& context) {
  Send(TrackEventType::Uninstall, "ZvEventUninstall", UninstallProperties(reason), &context,
       FlushClass::Now);
}
void AnalyticsTrackerImpl::trackCrash(const std::string& reason) {
  Send(TrackEventType::Crashed, "AppCrashed", CrashProperties(reason), nullptr, FlushClass::Now);
}
void AnalyticsTrackerImpl::trackUpdate(const ZvEventUpdate& event, const ZvContextProperties& context) {
  Send(TrackEventType::Update, "ZvEventUpdate", UpdateProperties(event), &context, FlushClass::Now);
}
void AnalyticsTrackerImpl::trackAppOpenNotification(const AppOpenNotification* event,
                                                    const ZvContextProperties& context) {
  Send(TrackEventType::AppOpenNotification, "AppOpenNotification",
       AppOpenNotificationProperties(event), &context, FlushClass::Later);
}

void AnalyticsTrackerImpl::setLocale(const std::string& locale) { state_->storedLocale = locale; }

std::string AnalyticsTrackerImpl::getPrimaryDistinctId() { return state_->primaryDistinctId; }

}  // namespace zorvan::analytics
