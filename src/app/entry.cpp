#include "app/entry.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "analytics/analytics_init.h"
#include "analytics/crash_record.h"
#include "analytics/funnel_events.h"
#include "app/command_line.h"
#include "app/console_platform.h"
#include "app/crash_reporter.h"
#include "app/dll_hardening.h"
#include "app/installer_settings.h"
#include "app/single_instance.h"
#include "app/unattended_install.h"
#include "install/installation_records.h"
#include "support/debug_log.h"

namespace Installer {

namespace {

void WriteToStandardError(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

int RunWindowOrExplain(const WindowRunner& runWindow) {
  if (!HasDisplay()) {
    WriteToStandardError(
        "talvorin-installer: no display to show the installer window on (neither DISPLAY nor "
        "WAYLAND_DISPLAY is set). Start it in a graphical session, or install without a window: "
        "talvorin-installer -silent=true\n");
    return kExitNoDisplay;
  }
  const std::optional<int> closed = runWindow ? runWindow() : std::nullopt;
  if (!closed) {
    WriteToStandardError(
        "talvorin-installer: the installer window could not be shown. Install without a window: "
        "talvorin-installer -silent=true\n");
    return kExitNoWindow;
  }
  return kExitInstalled;  // the window's close code is not the program's
}

}  // namespace

int RunInstallerProcess(const WindowRunner& runWindow) {
  // The crash's records were prepared when analytics started; the report
  // only appends them to the journal, which is safe in a dying process.
  InstallCrashReporter(&zorvan::analytics::AppendCrashRecord);
  HardenDllSearchPath();

  InstallerSettings& settings = TheInstallerSettings();
  const bool curlStarted = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  if (!curlStarted) {
    settings.curlReady = false;
    zorvan::analytics::ReportTask(L"libcurl初始化失败", 0.0f, L"", {{L"AB", L"IN"}});
  }

  std::unique_ptr<SingleInstanceLock> lock =
      SingleInstanceLock::Acquire(SingleInstanceName(settings.productName));
  if (!lock) {
    DEBUG_LOG(L"another installer holds the single-instance lock");
    if (curlStarted) curl_global_cleanup();
    return kExitAnotherCopyRunning;
  }

  // Analytics starts once the user's choice is known (a command line that
  // turns it off must leave no trace), with the names the settings file gave.
  const InstallerSettings fromSettingsFile = settings;
  applyCommandLine();
  zorvan::analytics::InitAnalytics(fromSettingsFile, settings.isEnableAppAnalytics);

  int code = kExitInstalled;
  if (settings.silent) {
    InstallationRecords records;
    code = RunUnattendedInstall(settings, records, &WriteToStandardError, StandardErrorIsTerminal());
  } else {
    code = RunWindowOrExplain(runWindow);
  }

  // Whichever way analytics was turned off, the tracker ends here, in order,
  // before libcurl does.
  zorvan::analytics::ShutdownAnalytics();
  if (curlStarted) curl_global_cleanup();
  lock.reset();
  return code;
}

}  // namespace Installer
