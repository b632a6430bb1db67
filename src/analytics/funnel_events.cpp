#include "analytics/funnel_events.h"

#include "app/installer_settings.h"

namespace zorvan::analytics {

// The tracker the reporters hand their events to arrives with the analytics
// client; until one is installed every report is dropped by this guard.
void ReportTask(const std::wstring& name, float elapsedSeconds, const std::wstring& reason,
                ReportExtras extras) {
  (void)name;
  (void)elapsedSeconds;
  (void)reason;
  (void)extras;
  if (!Installer::TheInstallerSettings().isEnableAppAnalytics) return;
}

}  // namespace zorvan::analytics
