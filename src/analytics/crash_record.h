// The records a crash leaves behind: prepared while the program is well
// ("崩溃退出" and "AppCrashed", as the funnel reports them), and appended
// by the crash handler to the journal's crash segment through a file opened
// in advance, with one write and nothing else. The next run sends them.
#pragma once

#include <string>

#include "analytics/sdk/journal_file.h"

namespace zorvan::analytics {

// Prepares `lines` (record texts, each ending in a line end) for `file`;
// replaces what was prepared before.
void ArmCrashRecord(std::string lines, zv_transport::NativeFile file);
// Makes AppendCrashRecord do nothing again; waits for one that is running.
void DisarmCrashRecord();

// The crash report: safe in a signal handler and an unhandled-exception
// filter (no allocation, no lock, one system write). Stamps the records with
// the time of the crash. Does nothing while nothing is prepared.
void AppendCrashRecord();

}  // namespace zorvan::analytics
