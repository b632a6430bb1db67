#include "analytics/analytics_init.h"

#include "analytics/crash_record.h"
#include "analytics/event_catalogue.h"
#include "analytics/funnel_events.h"
#include "analytics/sdk/record_queue.h"
#include "analytics/sdk/sdk.h"
#include "support/text.h"

namespace zorvan::analytics {

namespace {

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

// What the crash filter reports, prepared now: the task "崩溃退出" with the
// group "IN", then "AppCrashed" with the reason "崩溃".
void PrepareCrashRecords() {
  ZvEventTask task;
  task.name = "\xE5\xB4\xA9\xE6\xBA\x83\xE9\x80\x80\xE5\x87\xBA";  // 崩溃退出
  task.elapsed = std::make_shared<double>(0.0);
  task.result = std::make_shared<ZvResult>(ZvResult::Success);
  ZvContextProperties context;
  ApplyAbValue({{L"AB", L"IN"}}, {static_cast<std::int32_t>(TrackEventType::Task)}, context);
  zv_transport::PropertiesNode taskProperties = TaskProperties(task);
  MergeContextProperties(context, TrackEventType::Task, taskProperties);
  const auto taskRecord = zv_transport::Sdk::BuildTrackRecordText("ZvEventTask", taskProperties);
  const auto crashRecord =
      zv_transport::Sdk::BuildTrackRecordText("AppCrashed", CrashProperties("\xE5\xB4\xA9\xE6\xBA\x83"));
  const zv_transport::NativeFile segment = zv_transport::Sdk::CrashSegment();
  if (!taskRecord || !crashRecord || segment == zv_transport::kNoNativeFile) return;
  ArmCrashRecord(*taskRecord + "\n" + *crashRecord + "\n", segment);
}

}  // namespace

TrackerInitParams TrackerParamsFromSettings(const Installer::InstallerSettings& settings) {
  TrackerInitParams params;
  params.appName = Utf8(settings.productName + settings.dlAppNameSuffix);
  params.appVersion = Utf8(settings.productVersion);
  params.appStore = Utf8(settings.exeName);
  params.dlAppId = Utf8(settings.productName);
  params.dlAppVersion = Utf8(settings.dlAppVersion);
  params.edition = 0;
  params.serverUrl = Utf8(settings.analyticsServerUrl);
  params.locationServiceUrl = Utf8(settings.locationServiceUrl);
  // libcurl takes file names in the system's narrow form.
  params.caBundle = Utils::ToNarrow(settings.caBundle, Utils::kCodePageAnsi);
  params.proxySetting = Utf8(settings.proxyUrl);
  return params;
}

void InitAnalytics() {
  const Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
  InitAnalytics(settings, settings.isEnableAppAnalytics);
}

void InitAnalytics(const Installer::InstallerSettings& fromSettingsFile, bool enabledNow) {
  const TrackerInitParams params = TrackerParamsFromSettings(fromSettingsFile);
  if (!fromSettingsFile.isEnableAppAnalytics || !enabledNow) {
    // The user said no: nothing goes out, now or later.
    ForgetStagedRecords(params);
    return;
  }
  InitAnalyticsWith(params);
}

bool ForgetStagedRecords(const TrackerInitParams& params) {
  LocalState state(params.logFilePath);
  if (params.configFileOverride.empty()) {
    state.resolvePaths(params.appName, false);
  } else {
    state.resolvePaths(params.appName, LocalPathInputs{{}, {}, params.configFileOverride, {}}, false);
  }
  const std::string journal = state.stagingFilePath();
  return journal.empty() || zv_transport::RemoveJournal(journal);
}

void InitAnalyticsWith(const TrackerInitParams& params) {
  // The transport is one per process: an earlier tracker ends (and stages
  // what it holds) before the new one takes the transport over.
  ShutdownAnalytics();
  auto impl = std::make_unique<AnalyticsTrackerImpl>(params);
  try {
    impl->init();
    PrepareCrashRecords();
  } catch (...) {
    // Used all the same: without a transport its calls have no effect.
  }
  SetGlobalTracker(std::make_shared<AnalyticsTrackerWrapper>(std::move(impl)));
}

void ShutdownAnalytics() { SetGlobalTracker(nullptr); }

}  // namespace zorvan::analytics
