#include "app/entry.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "analytics/analytics_init.h"
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
#include "support/text.h"

namespace Installer {

namespace {

void ReportCrashExit() {
  zorvan::analytics::ReportTask(L"崩溃退出", 0.0f, L"", {{L"AB", L"IN"}});
  zorvan::analytics::ReportCrash();
}

void WriteToStandardError(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

// Said in the interface language the window would have spoken.
void Explain(const TextRef& text) {
  InstallationRecords records;
  records.Read();
  InterfaceTexts texts;
  LoadConsoleLanguage(TheInstallerSettings(), records, texts);
  WriteToStandardError(Utils::ToNarrow(texts.Get(text), Utils::kCodePageUtf8) + "\n");
}

int RunWindowOrExplain(const WindowRunner& runWindow) {
  if (!HasDisplay()) {
    Explain(kConsoleNoDisplay);
    return kExitNoDisplay;
  }
  const std::optional<int> closed = runWindow ? runWindow() : std::nullopt;
  if (!closed) {
    Explain(kConsoleNoWindow);
    return kExitNoWindow;
  }
  return kExitInstalled;  // the window's close code is not the program's
}

}  // namespace

int RunInstallerProcess(const WindowRunner& runWindow) {
  InstallCrashReporter(&ReportCrashExit);
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

  zorvan::analytics::InitAnalytics();
  applyCommandLine();

  int code = kExitInstalled;
  if (settings.silent) {
    InstallationRecords records;
    code = RunUnattendedInstall(settings, records, &WriteToStandardError, StandardErrorIsTerminal());
  } else {
    code = RunWindowOrExplain(runWindow);
  }

  if (settings.isEnableAppAnalytics) zorvan::analytics::ShutdownAnalytics();
  if (curlStarted) curl_global_cleanup();
  lock.reset();
  return code;
}

}  // namespace Installer
