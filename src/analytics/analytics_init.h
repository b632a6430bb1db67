// Creating and releasing the process-wide tracker.
#pragma once

#include "analytics/tracker_impl.h"
#include "support/installer_settings.h"

namespace zorvan::analytics {

// The tracker's parameters from the installer settings.
TrackerInitParams TrackerParamsFromSettings(const Installer::InstallerSettings& settings);

// When analytics is enabled in the settings: creates, initialises and
// installs the tracker (a tracker whose initialisation failed is installed
// all the same and does what it can).
void InitAnalytics();
// The program's start: the tracker takes its names from the settings as the
// settings file left them, and exists only when both the settings file and
// the user's final choice (`enabledNow`, the command line included) allow
// it. Otherwise nothing is created and what earlier runs staged is deleted.
void InitAnalytics(const Installer::InstallerSettings& fromSettingsFile, bool enabledNow);
// The same with given parameters (whatever the settings say).
void InitAnalyticsWith(const TrackerInitParams& params);
// Releases the tracker: its destruction flushes, then stages what is unsent.
// Safe to call whether or not a tracker exists.
void ShutdownAnalytics();

// Deletes the journal (and the files beside it) of the tracker `params`
// would create, creating nothing; true when none is left.
bool ForgetStagedRecords(const TrackerInitParams& params);

}  // namespace zorvan::analytics
