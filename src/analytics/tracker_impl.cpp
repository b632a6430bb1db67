#include "analytics/tracker_impl.h"

#include <chrono>

#include "analytics/crash_record.h"
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
  pending_.exchange(0);
  if (configFileOverride_.empty()) {
    state_->resolvePaths(appName_);
  } else {
    state_->resolvePaths(appName_, LocalPathInputs{{}, {}, configFileOverride_, {}});
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
  common.SetString("zv_app_platform", PlatformName());
  common.SetString("zv_track_type", "Client");
  common.SetString("zv_sdk_version", "3.3.8");
  common.SetString("zv_sdk", std::string(PlatformName()) + "CPP");
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
  stopping_ = false;
  // Records an earlier run left in the journal (a crash's among them) go
  // out now rather than at this run's end.
  flushRequested_ = Sdk::QueuedCount() > 0;
  flushThread_ = std::thread([this] { FlushThread(); });
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
  if (flushThread_.joinable()) {
    // The final flush runs on the flush thread, which may be in the middle
    // of a request: one deadline bounds both, so that the end of the program
    // (and the single-instance lock it holds) never waits on a server that
    // does not answer.
    {
      std::lock_guard<std::mutex> lock(flushMutex_);
      stopping_ = true;
      exitDeadline_ = std::chrono::steady_clock::now() + kExitFlushBudget;
      Sdk::CutOff(exitDeadline_);
    }
    flushWake_.notify_all();
    flushThread_.join();
  }
  if (!state_->backgroundServicesDisabled) ZvLocationTime::stop();
  DisarmCrashRecord();
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
      pending_.fetch_add(1);
      notifySend(false);
      break;
    case FlushClass::Later: notifySend(false); break;
  }
  // The funnel's tasks mark its phases: the journal goes to disk there.
  if (kind == TrackEventType::Task) Wake(false, true);
}

void AnalyticsTrackerImpl::notifySend(bool flushNow) {
  if (!flushNow) {
    // Counting an event is one atomic add: it costs the reporting thread
    // neither a thread nor a wait.
    pending_.fetch_add(1);
    return;
  }
  // Sent even when nothing was counted: an event that asks to go out now
  // must not wait for the program's end.
  if (!zv_transport::LastSendSucceeded()) {
    Utils::EmitLogLine(L"[Analytics] Sending messages asynchronously\r\n");
  }
  Wake(true, false);
}

void AnalyticsTrackerImpl::Wake(bool flush, bool sync) {
  {
    std::lock_guard<std::mutex> lock(flushMutex_);
    flushRequested_ = flushRequested_ || flush;
    syncRequested_ = syncRequested_ || sync;
  }
  flushWake_.notify_all();
}

void AnalyticsTrackerImpl::FlushThread() {
  using Clock = std::chrono::steady_clock;
  constexpr auto kPeriod = std::chrono::seconds(10);
  constexpr auto kOneFlush = std::chrono::milliseconds(3000);
  const bool background = !state_->backgroundServicesDisabled;
  Clock::time_point retryAt = Clock::time_point::max();
  std::unique_lock<std::mutex> lock(flushMutex_);
  for (;;) {
    const Clock::time_point periodEnd = background ? Clock::now() + kPeriod : Clock::time_point::max();
    const bool woken = flushWake_.wait_until(lock, std::min(periodEnd, retryAt), [this] {
      return stopping_ || flushRequested_ || syncRequested_;
    });
    if (stopping_) break;
    const bool sync = syncRequested_;
    bool flush = flushRequested_ || Clock::now() >= retryAt;
    flushRequested_ = syncRequested_ = false;
    lock.unlock();
    if (sync) Sdk::Sync();
    if (!woken && background) {
      BackgroundRound();
      flush = flush || pending_.load() > 0;
    }
    retryAt = Clock::time_point::max();
    if (flush) {
      if (Sdk::Flush(Clock::now() + kOneFlush)) {
        pending_.exchange(0);
      } else if (Sdk::NotBefore() > Clock::now() && Sdk::QueuedCount() > 0) {
        retryAt = Sdk::NotBefore();  // the server asked for a pause
      }
    }
    lock.lock();
  }
  const Clock::time_point deadline = exitDeadline_;
  lock.unlock();
  for (int attempt = 0; attempt < 3 && Sdk::QueuedCount() > 0 && Clock::now() < deadline; ++attempt) {
    if (Sdk::Flush(deadline)) {
      pending_.exchange(0);
      break;
    }
  }
  Sdk::Sync();
}

void AnalyticsTrackerImpl::BackgroundRound() {
  LocationResult location;
  if (!ZvLocationTime::takeResult(location)) return;
  bool waiting = false;
  {
    std::lock_guard<std::mutex> lock(loginMutex_);
    state_->lastLocation = location;
    waiting = state_->pendingLogin.has_value();
  }
  if (!waiting) return;
  try {
    RunPendingLogin(&location);
  } catch (...) {
  }
  pending_.fetch_add(1);
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
