// The installer's funnel events: the thin layer between the installer's own
// code and the analytics tracker. Reporters never wait on the network and may
// be called from any thread.
#pragma once

#include <map>
#include <string>

namespace zorvan::analytics {

// Only the key "AB" (the A/B group) is read.
using ReportExtras = std::map<std::wstring, std::wstring>;

// Reports one task event. Does nothing while analytics is disabled in the
// settings or no tracker is installed.
void ReportTask(const std::wstring& name, float elapsedSeconds, const std::wstring& reason,
                ReportExtras extras);

}  // namespace zorvan::analytics
