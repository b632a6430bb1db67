// The log file of one run: every diagnostic line also goes, as it is made,
// to a file a person can find and send. The newest ten runs keep theirs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/debug_log.h"

namespace Utils {

inline constexpr std::size_t kKeptRunLogs = 10;
inline constexpr wchar_t kRunLogPrefix[] = L"Talvorin_Installer_";

// Where the run logs go: the temporary folder on Windows; on Linux
// $XDG_STATE_HOME/talvorin (~/.local/state/talvorin by default). Created when
// missing; empty when no folder can be had.
std::wstring RunLogFolder();

// "Talvorin_Installer_<yyyyMMdd_HHmmss>.log"; a run that finds that name
// taken (two runs in one second) adds "_<attempt>" before ".log".
std::wstring RunLogFileName(const LogStamp& stamp, int attempt = 0);

// Of the file names of a log folder, the run logs to remove so that the
// newest `keep` remain (the names sort by their time); other files are none
// of the log's business.
std::vector<std::wstring> RunLogsBeyond(std::vector<std::wstring> fileNames, std::size_t keep);

// Opens this run's log: `chosen` when not empty (made anew), otherwise a new
// file in RunLogFolder(), after which only the newest kKeptRunLogs remain.
// From then on every diagnostic line is written to it at once, so that a
// killed run keeps its log. The path, or empty when no file could be opened
// (the run goes on without one).
std::wstring StartRunLog(const std::wstring& chosen);

// The open log as the system's descriptor (POSIX file descriptor, Windows
// HANDLE), for writing from a crash handler; -1 when there is none.
std::intptr_t RunLogDescriptor();

// Appends one finished line; does nothing without an open log.
void AppendToRunLog(const std::wstring& line);

}  // namespace Utils
