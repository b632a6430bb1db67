// The last-chance crash reporter: when any thread crashes, the report runs
// once, as far as the crashing process still can, and then the system ends
// the process as it would have anyway (on Windows the unhandled-exception
// filter; on Linux handlers for the fatal signals, which re-raise the signal
// so the parent still sees the crash).
#pragma once

namespace Installer {

using CrashReport = void (*)();

// Registers the report for the whole process; a later call replaces it.
void InstallCrashReporter(CrashReport report);

}  // namespace Installer
