// The installer's funnel events: the thin layer between the installer's own
// code and the analytics tracker. Reporters never wait on the network and may
// be called from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analytics/analytics_tracker.h"

namespace zorvan::analytics {

// Only the key "AB" (the A/B group) is read.
using ReportExtras = std::map<std::wstring, std::wstring>;

// Reports one task event ("zv_task_result" is always "Success"). Does nothing
// while analytics is disabled in the settings or no tracker is installed.
void ReportTask(const std::wstring& name, float elapsedSeconds, const std::wstring& reason,
                ReportExtras extras);
// One click event (click type "Button").
void ReportClick(const std::wstring& name, ReportExtras extras);
// One page-view event.
void ReportView(const std::wstring& name, ReportExtras extras);
// The crash event, which asks for an immediate flush.
void ReportCrash();

// Adds the extras' A/B group as "zvc_ab" for the given kinds when it is a
// valid group. A malformed group is left out rather than losing the event.
void ApplyAbValue(const ReportExtras& extras, const std::vector<std::int32_t>& eventKinds,
                  ZvContextProperties& context);

// The process-wide tracker the reporters use (empty until InitAnalytics).
std::shared_ptr<AnalyticsTracker> GlobalTracker();
void SetGlobalTracker(std::shared_ptr<AnalyticsTracker> tracker);

}  // namespace zorvan::analytics
