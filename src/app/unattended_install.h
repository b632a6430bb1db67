// Unattended mode: the one-click installation without a window. The same
// checks as the window's one-click path, the same orchestrator, records and
// funnel events; progress and outcome go to standard error and the outcome
// becomes the exit code.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "support/installer_settings.h"
#include "ui/language.h"
#include "app/progress_line.h"
#include "download/offline_package.h"
#include "install/download_installer.h"
#include "install/installation_records.h"
#include "ui/install_progress.h"

namespace Installer {

// The program's exit codes. -1 is the code of a refused second copy whatever
// the mode; the others say why an unattended installation did not happen.
enum ExitCode : int {
  kExitInstalled = 0,
  kExitAnotherCopyRunning = -1,  // 255 as a POSIX shell shows it
  kExitNoDisplay = 2,            // no window can be shown and -silent=true was not given
  kExitNoWindow = 3,             // the window could not be shown; use -silent=true
  kExitProductRunning = 10,      // the product or its uninstaller runs
  kExitInvalidFolder = 11,       // the installation folder cannot be created
  kExitNoSpace = 12,             // less than 1 GiB free for the installation folder
  kExitNoNetwork = 13,           // the network check (IsCheckNet) found no internet
  kExitRemovalFailed = 14,       // the earlier version could not be removed
  kExitDownloadFailed = 15,      // the package could not be downloaded
  kExitPackageFailed = 16,       // the package ran and failed
  kExitCancelled = 17,           // ended on request (a signal, Ctrl+C, the session's end)
};

// What the unattended run writes: UTF-8 text for standard error.
using TextSink = std::function<void(const std::string& text)>;

// The window's free-space rule: at least 1 GiB usable.
bool EnoughFreeSpace(std::uint64_t freeBytesAvailable);

// The folder an unattended installation goes to and the uninstaller it
// removes first, from the records and the settings (`insNew`, "-installdir=").
struct InstallPlan {
  std::wstring folder;
  std::wstring previousUninstaller;  // empty: nothing to remove
};
InstallPlan PlanInstallation(const InstallerSettings& settings, InstallationRecords& records);

// The checks made before anything starts, in the window's order: running
// product or uninstaller (unless `insNew`), the folder created, free space,
// the network when `isCheckNet`. The failing check's exit code, or nothing.
// The messages are in the language of `texts` (English where it has none).
std::optional<int> CheckBeforeInstall(const InstallerSettings& settings, const std::wstring& folder,
                                      const TextSink& write, const InterfaceTexts& texts = {});

// The interface language of an unattended run, chosen as the window chooses
// it: an earlier installation's language, else "-language=", else the
// system's. Its list index; `texts` gets its texts.
int LoadConsoleLanguage(const InstallerSettings& settings, const InstallationRecords& records,
                        InterfaceTexts& texts);

// The window's reactions to the orchestrator's notifications, without the
// window: reports, records, progress text. Handle answers the exit code once
// the installation has ended.
class UnattendedSession {
 public:
  UnattendedSession(const InstallerSettings& settings, InstallationRecords& records, TextSink write,
                    bool terminal, const InterfaceTexts& texts = {});

  std::optional<int> Handle(const NotifyMessage& message, const std::wstring& packagePath);

 private:
  void Progress(int percent, InstallStage stage);
  void Say(const std::string& line);
  float DownloadSeconds() const;

  std::string Tr(const TextRef& text, std::initializer_list<std::wstring_view> values = {}) const;

  const InstallerSettings& settings_;
  InterfaceTexts texts_;
  InstallationRecords& records_;
  TextSink write_;
  ProgressPrinter printer_;
  InstallProgress progress_;
  std::wstring group_ = L"IN";
  bool startReported_ = false;
  bool stopwatchRunning_ = false;
  std::uint64_t stopwatchStart_ = 0;  // milliseconds of a steady clock
  std::wstring digestNotice_;  // the digest notice of the current download attempt, if any
};

// The whole unattended installation: plan, checks, the orchestrator driven on
// the calling thread, the outcome. Answers the exit code.
int RunUnattendedInstall(const InstallerSettings& settings, InstallationRecords& records,
                         const TextSink& write, bool terminal);

}  // namespace Installer
