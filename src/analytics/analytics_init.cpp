#include "analytics/analytics_init.h"

#include "analytics/funnel_events.h"
#include "support/text.h"

namespace zorvan::analytics {

namespace {

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

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
  if (!settings.isEnableAppAnalytics) return;
  InitAnalyticsWith(TrackerParamsFromSettings(settings));
}

void InitAnalyticsWith(const TrackerInitParams& params) {
  // The transport is one per process: an earlier tracker ends (and stages
  // what it holds) before the new one takes the transport over.
  ShutdownAnalytics();
  auto impl = std::make_unique<AnalyticsTrackerImpl>(params);
  try {
    impl->init();
  } catch (...) {
    // Used all the same: without a transport its calls have no effect.
  }
  SetGlobalTracker(std::make_shared<AnalyticsTrackerWrapper>(std::move(impl)));
}

void ShutdownAnalytics() { SetGlobalTracker(nullptr); }

}  // namespace zorvan::analytics
