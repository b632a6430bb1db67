// The last-chance crash reporter: when any thread crashes, the report runs
// once, as far as the crashing process still can, and then the system ends
// the process as it would have anyway (on Windows the unhandled-exception
// filter; on Linux handlers for the fatal signals, which re-raise the signal
// so the parent still sees the crash).
//
// The handler does only what is safe inside a signal handler: it writes a
// line prepared in advance (with the signal's number or the exception's
// code filled into a buffer on its stack) to the run log's descriptor, which
// was opened before the crash; it allocates nothing and takes no lock. On
// Windows it also writes a minidump beside the log (".dmp" for ".log").
#pragma once

#include <cstdint>
#include <string>

namespace Installer {

// Called once by the handler, on the crashing thread, possibly inside a
// signal handler: it must be async-signal-safe itself (no allocation, no
// lock, no stdio; write() to descriptors opened in advance is fine).
using CrashReport = void (*)();

// Registers the report for the whole process (a later call replaces it),
// with the run log's descriptor (-1: none) and its path (empty: none; the
// minidump then is not written).
void InstallCrashReporter(CrashReport report, std::intptr_t logDescriptor = -1,
                          const std::wstring& logPath = L"");

}  // namespace Installer
