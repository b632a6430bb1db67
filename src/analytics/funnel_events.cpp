#include "analytics/funnel_events.h"

#include <mutex>

#include "support/installer_settings.h"
#include "analytics/zv_exception.h"
#include "support/text.h"

namespace zorvan::analytics {

namespace {

std::mutex trackerMutex;
std::shared_ptr<AnalyticsTracker> globalTracker;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

// The common guard: analytics enabled and a tracker installed.
std::shared_ptr<AnalyticsTracker> ActiveTracker() {
  if (!Installer::TheInstallerSettings().isEnableAppAnalytics) return nullptr;
  return GlobalTracker();
}

ZvContextProperties ContextFor(const ReportExtras& extras, TrackEventType kind) {
  ZvContextProperties context;
  ApplyAbValue(extras, {static_cast<std::int32_t>(kind)}, context);
  return context;
}

}  // namespace

std::shared_ptr<AnalyticsTracker> GlobalTracker() {
  std::lock_guard<std::mutex> lock(trackerMutex);
  return globalTracker;
}

void SetGlobalTracker(std::shared_ptr<AnalyticsTracker> tracker) {
  std::shared_ptr<AnalyticsTracker> previous;
  {
    std::lock_guard<std::mutex> lock(trackerMutex);
    previous.swap(globalTracker);
    globalTracker = std::move(tracker);
  }
  // `previous` ends here, outside the lock: its destruction may flush.
}

void ApplyAbValue(const ReportExtras& extras, const std::vector<std::int32_t>& eventKinds,
                  ZvContextProperties& context) {
  const auto found = extras.find(L"AB");
  if (found == extras.end()) return;
  const std::string value = Utf8(found->second);
  try {
    if (ZvContextProperties::isValidABValue(value)) context.setProperty(zvc_ab, value, eventKinds);
  } catch (const ZvException&) {
    // A malformed group must not cost the event itself.
  }
}

void ReportTask(const std::wstring& name, float elapsedSeconds, const std::wstring& reason,
                ReportExtras extras) {
  const std::shared_ptr<AnalyticsTracker> tracker = ActiveTracker();
  if (!tracker) return;
  const ZvContextProperties context = ContextFor(extras, TrackEventType::Task);
  ZvEventTask task;
  task.name = Utf8(name);
  task.reason = Utf8(reason);
  task.elapsed = std::make_shared<double>(static_cast<double>(elapsedSeconds));
  task.result = std::make_shared<ZvResult>(ZvResult::Success);
  tracker->trackTask(task, context);
}

void ReportClick(const std::wstring& name, ReportExtras extras) {
  const std::shared_ptr<AnalyticsTracker> tracker = ActiveTracker();
  if (!tracker) return;
  const ZvContextProperties context = ContextFor(extras, TrackEventType::Click);
  ZvEventClick click;
  click.name = Utf8(name);
  click.clickType = std::make_shared<ZvClickType>(ZvClickType::Button);
  tracker->trackClick(click, context);
}

void ReportView(const std::wstring& name, ReportExtras extras) {
  const std::shared_ptr<AnalyticsTracker> tracker = ActiveTracker();
  if (!tracker) return;
  const ZvContextProperties context = ContextFor(extras, TrackEventType::View);
  ZvEventView view;
  view.name = Utf8(name);
  tracker->trackView(view, context);
}

void ReportCrash() {
  const std::shared_ptr<AnalyticsTracker> tracker = ActiveTracker();
  if (!tracker) return;
  tracker->trackCrash("\xE5\xB4\xA9\xE6\xBA\x83");  // 崩溃
}

}  // namespace zorvan::analytics
