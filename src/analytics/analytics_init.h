// Creating and releasing the process-wide tracker.
#pragma once

#include "analytics/tracker_impl.h"
#include "app/installer_settings.h"

namespace zorvan::analytics {

// The tracker's parameters from the installer settings.
TrackerInitParams TrackerParamsFromSettings(const Installer::InstallerSettings& settings);

// When analytics is enabled in the settings: creates, initialises and
// installs the tracker (a tracker whose initialisation failed is installed
// all the same and does what it can).
void InitAnalytics();
// The same with given parameters (whatever the settings say).
void InitAnalyticsWith(const TrackerInitParams& params);
// Releases the tracker: its destruction flushes, then stages what is unsent.
void ShutdownAnalytics();

}  // namespace zorvan::analytics
