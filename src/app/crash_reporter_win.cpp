#include <windows.h>

#include <atomic>

#include "app/crash_reporter.h"

namespace Installer {

namespace {

std::atomic<CrashReport> installedReport{nullptr};
std::atomic<bool> reported{false};

LONG WINAPI CrashFilter(EXCEPTION_POINTERS*) {
  // A second thread crashing while the first reports must not report again.
  if (!reported.exchange(true)) {
    if (CrashReport report = installedReport.load()) report();
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void InstallCrashReporter(CrashReport report) {
  installedReport = report;
  SetUnhandledExceptionFilter(&CrashFilter);
}

}  // namespace Installer
