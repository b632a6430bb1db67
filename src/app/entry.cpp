#include "app/entry.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "analytics/analytics_init.h"
#include "analytics/crash_record.h"
#include "analytics/funnel_events.h"
#include "app/command_line.h"
#include "app/console_platform.h"
#include "app/crash_reporter.h"
#include "app/dll_hardening.h"
#include "support/installer_settings.h"
#include "app/single_instance.h"
#include "app/unattended_install.h"
#include "install/installation_records.h"
#include "install/installer.h"
#include "support/debug_log.h"
#include "support/process_info.h"
#include "support/run_log.h"
#include "support/termination.h"
#include "support/text.h"

namespace Installer {

namespace {

void WriteToStandardError(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

// What ending on request needs of the run, shared between the thread that
// delivers the request and the normal shutdown; whichever comes first wins.
struct Ending {
  std::mutex mutex;
  bool shutDown = false;
  std::unique_ptr<SingleInstanceLock>* lock = nullptr;
  std::wstring logPath;
};

Ending& TheEnding() {
  static Ending* ending = new Ending;  // outlives every thread that may request the end
  return *ending;
}

// Ends the run at once on request: the download stops where it is (what was
// received stays in the package file, so a later run can go on from it), a
// package already running is left alone (it is another program's installer
// and finishes by itself), the analytics records are staged, the lock is
// released and the program exits with kExitCancelled.
void EndOnRequest(const std::wstring& reason) {
  Ending& ending = TheEnding();
  std::lock_guard<std::mutex> guard(ending.mutex);
  if (ending.shutDown) return;  // the normal shutdown is under way
  DEBUG_LOG(L"ending on request: %s", reason.c_str());
  if (const std::uint32_t package = RunningPackageProcessId()) {
    DEBUG_LOG(L"the package (process %u) is already running and is not stopped: it is another program's "
              L"installer and finishes by itself",
              package);
  }
  DEBUG_LOG(L"a download under way stops here; what was received stays in the package file");
  zorvan::analytics::ShutdownAnalytics();
  if (ending.lock != nullptr) ending.lock->reset();
  std::string said = "talvorin-installer: the installation was cancelled (" + Utf8(reason) + ").\n";
  if (!ending.logPath.empty()) said += "The log of this run: " + Utf8(ending.logPath) + "\n";
  WriteToStandardError(said);
  DEBUG_LOG(L"exit code %d", static_cast<int>(kExitCancelled));
  std::_Exit(kExitCancelled);
}

// "-log=<file>" chooses the log file; it is read before anything else so
// that the log holds the whole run.
std::wstring ChosenLogFile() {
  for (const std::wstring& argument : Utils::GetProcessArguments()) {
    if (argument.rfind(L"-log=", 0) == 0) return argument.substr(5);
  }
  return {};
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
  const std::wstring logPath = Utils::StartRunLog(ChosenLogFile());
  // The crash's records were prepared when analytics started; the report
  // only appends them to the journal, which is safe in a dying process.
  InstallCrashReporter(&zorvan::analytics::AppendCrashRecord, Utils::RunLogDescriptor(), logPath);
  HardenDllSearchPath();

  InstallerSettings& settings = TheInstallerSettings();
  DEBUG_LOG(L"Talvorin installer %s; log %s", settings.productVersion.c_str(), logPath.c_str());
  for (const std::wstring& problem : settings.settingsProblems) DEBUG_LOG(L"%s", problem.c_str());
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
  {
    Ending& ending = TheEnding();
    std::lock_guard<std::mutex> guard(ending.mutex);
    ending.lock = &lock;
    ending.logPath = logPath;
  }
  Utils::WatchTerminationRequests(&EndOnRequest);

  int code = kExitInstalled;
  if (settings.silent) {
    // Settings that cannot be used are said before anything else.
    for (const std::wstring& problem : settings.settingsProblems) WriteToStandardError(Utf8(problem) + "\n");
    InstallationRecords records;
    code = RunUnattendedInstall(settings, records, &WriteToStandardError, StandardErrorIsTerminal());
    if (code != kExitInstalled && !logPath.empty()) {
      WriteToStandardError("The log of this run: " + Utf8(logPath) + "\n");
    }
  } else {
    code = RunWindowOrExplain(runWindow);
  }

  {
    Ending& ending = TheEnding();
    std::lock_guard<std::mutex> guard(ending.mutex);
    ending.shutDown = true;
    ending.lock = nullptr;
  }
  DEBUG_LOG(L"exit code %d", code);
  // Whichever way analytics was turned off, the tracker ends here, in order,
  // before libcurl does.
  zorvan::analytics::ShutdownAnalytics();
  if (curlStarted) curl_global_cleanup();
  lock.reset();
  return code;
}

}  // namespace Installer
