#include "app/unattended_install.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

#include "analytics/funnel_events.h"
#include "app/console_platform.h"
#include "ui/language.h"
#include "download/download_failure.h"
#include "download/downloader.h"
#include "download/package_digest.h"
#include "install/failure_reasons.h"
#include "install/install_codes.h"
#include "install/install_folder.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "ui/skin_package.h"

namespace Installer {

namespace {

using zorvan::analytics::ReportExtras;
using zorvan::analytics::ReportTask;
using zorvan::analytics::ReportView;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

std::uint64_t NowMilliseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

int Percent(double fraction) { return static_cast<int>(fraction * 100.0); }

// The notifications of the orchestrator's threads, handed to the thread that
// runs the installation in the order they were sent.
class NotificationQueue {
 public:
  NotifyCallback Callback() {
    return [this](std::int32_t code, double value, const wchar_t* text) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(NotifyMessage{code, value, text});
      }
      changed_.notify_one();
    };
  }
  NotifyMessage Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !queue_.empty(); });
    NotifyMessage message = std::move(queue_.front());
    queue_.pop_front();
    return message;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<NotifyMessage> queue_;
};

}  // namespace

bool EnoughFreeSpace(std::uint64_t freeBytesAvailable) {
  return static_cast<double>(freeBytesAvailable) / 1073741824.0 >= 1.0;
}

InstallPlan PlanInstallation(const InstallerSettings& settings, InstallationRecords& records) {
  records.Read();
  const bool existing =
      !records.recordedFolder.empty() && Utils::DirectoryExists(records.recordedFolder);
  InstallPlan plan;
  if (settings.insNew && existing) {
    // Installing anew goes over the earlier installation in its own folder.
    records.DefaultInstallFolder();  // the rights flags
    plan.folder = records.recordedFolder;
  } else if (!settings.silentInstallDir.empty()) {
    plan.folder = records.CustomInstallFolder(settings.silentInstallDir);
  } else {
    plan.folder = records.DefaultInstallFolder();
  }
  plan.previousUninstaller =
      records.KeepsEarlierInstallation(plan.folder) ? L"" : records.recordedUninstaller;
  return plan;
}

namespace {

std::string ConsoleText(const InterfaceTexts& texts, const TextRef& text,
                        std::initializer_list<std::wstring_view> values = {}) {
  return Utf8(FormatText(texts.Get(text), values));
}

}  // namespace

int LoadConsoleLanguage(const InstallerSettings& settings, const InstallationRecords& records,
                        InterfaceTexts& texts) {
  const bool existing = !records.recordedFolder.empty() && Utils::DirectoryExists(records.recordedFolder);
  const std::wstring earlier = existing ? EarlierInstallationLanguage(records.recordedFolder) : L"";
  const int index = ChosenLanguageIndex(settings.language, SystemUiLanguage(), earlier);
  LoadLanguage(index, L"", &Ui::ReadSkinFile, texts);
  return index;
}

std::optional<int> CheckBeforeInstall(const InstallerSettings& settings, const std::wstring& folder,
                                      const TextSink& write, const InterfaceTexts& texts) {
  if (!settings.insNew && (Utils::FindProcessId(settings.productName + L"_un_asa.exe") != 0 ||
                           Utils::FindProcessId(kProductExecutableName) != 0)) {
    write(ConsoleText(texts, kConsoleProductRunning) + "\n");
    return kExitProductRunning;
  }
  if (!IsValidInstallFolder(folder) || !Utils::CreateDirectories(folder)) {
    write(ConsoleText(texts, kConsoleInvalidFolder, {folder}) + "\n");
    return kExitInvalidFolder;
  }
  Utils::HardDiskManager disk;
  if (!disk.CheckFreeSpace(folder)) {
    write(ConsoleText(texts, kConsoleUnknownSpace, {folder}) + "\n");
    return kExitNoSpace;
  }
  if (!EnoughFreeSpace(disk.freeBytesAvailable)) {
    // Rounded down: 0.999 GiB must not read as the 1 GiB that is needed.
    const double hundredths =
        std::floor(static_cast<double>(disk.freeBytesAvailable) / 1073741824.0 * 100.0);
    wchar_t amount[32];
    std::swprintf(amount, sizeof amount / sizeof amount[0], L"%.2f", hundredths / 100.0);
    write(ConsoleText(texts, kConsoleNoSpace, {amount}) + "\n");
    return kExitNoSpace;
  }
  if (settings.isCheckNet && CheckNetworkHere() > 0xFFFF) {
    write(ConsoleText(texts, kConsoleNoNetwork) + "\n");
    return kExitNoNetwork;
  }
  return std::nullopt;
}

UnattendedSession::UnattendedSession(const InstallerSettings& settings, InstallationRecords& records,
                                     TextSink write, bool terminal, const InterfaceTexts& texts)
    : settings_(settings),
      texts_(texts),
      records_(records),
      write_(std::move(write)),
      printer_(terminal),
      progress_(settings.downloadScale) {
  printer_.SetStageNames({Tr(kConsoleStageRemoving), Tr(kConsoleStageDownloading), Tr(kConsoleStageInstalling)});
}

std::string UnattendedSession::Tr(const TextRef& text, std::initializer_list<std::wstring_view> values) const {
  return ConsoleText(texts_, text, values);
}

void UnattendedSession::Progress(int percent, InstallStage stage) {
  const std::string text = printer_.Update(percent, stage);
  if (!text.empty()) write_(text);
}

void UnattendedSession::Say(const std::string& line) { write_(printer_.EndLine() + line + "\n"); }

float UnattendedSession::DownloadSeconds() const {
  if (!stopwatchRunning_) return 0.0f;
  return static_cast<float>(NowMilliseconds() - stopwatchStart_) / 1000.0f;
}

std::optional<int> UnattendedSession::Handle(const NotifyMessage& message,
                                             const std::wstring& packagePath) {
  const ReportExtras extras{{L"AB", group_}};
  switch (message.code) {
    case DL_CODE_START:
      if (!startReported_) {
        startReported_ = true;
        group_ = settings_.abGroupCopy();
        ReportTask(L"下载器启动", 0.0f, L"", {{L"AB", group_}});
      }
      stopwatchRunning_ = true;
      stopwatchStart_ = NowMilliseconds();
      digestNotice_.clear();
      ReportTask(L"开始下载大包", 0.0f, L"", {{L"AB", group_}});
      Progress(0, InstallStage::Downloading);
      return std::nullopt;
    case DL_CODE_PROGRESS:
      Progress(progress_.DownloadPercent(message.value), InstallStage::Downloading);
      return std::nullopt;
    case DL_CODE_SUCCESS:
      ReportTask(L"大包下载完毕", DownloadSeconds(), L"", extras);
      if (message.text == kEngineOfflinePackage) {
        Say(digestNotice_.empty() ? "The offline package is used; it matches its published digest."
                                  : "The offline package is used; it was not verified: no digest is known.");
      }
      return std::nullopt;
    case DL_CODE_FAIL:
      ReportDownloadFailure(message.value, message.text, packagePath, group_);
      Say("The download failed: " + FailureConsoleText(ParseFailureNotificationText(message.text)) +
          " Start the installation again when the cause is gone.");
      return kExitDownloadFailed;
    case DL_CODE_ERROR:
      digestNotice_ = message.text;
      if (message.text == kOfflineMismatch) Say("The offline package was refused: it does not match its digest.");
      ReportDigestNotice(message.value, message.text, group_);
      if (IsDigestMissingNotice(message.text))
        Say("The package was not verified: its address carries no digest.");
      return std::nullopt;
    case IST_CODE_START:
      records_.WriteInstallSettingsFile();
      return std::nullopt;
    case IST_CODE_PROGRESS:
      Progress(progress_.InstallPercent(message.value), InstallStage::Installing);
      return std::nullopt;
    case IST_CODE_SUCCESS:
      ReportTask(L"安装成功", 0.0f, L"", extras);
      Progress(100, InstallStage::Installing);
      records_.WriteRecords();
      records_.WriteInstallSettingsFile();
      Say(Tr(kConsoleInstalled, {records_.installFolder}));
      return kExitInstalled;
    case IST_CODE_FAIL:
      ReportInstallFailure(message.value, message.text, group_);
      Say(Tr(kConsoleInstallFailed, {message.text.empty() ? texts_.Get(kTextInstallFailed) : UserFailureText(texts_, message.text)}));
      return kExitPackageFailed;
    case IST_CODE_INST_PATH:
      // An empty report keeps the chosen folder (never the root of a drive).
      if (!message.text.empty()) records_.installFolder = message.text;
      return std::nullopt;
    case IST_CODE_UNINST_EP:
      records_.reportedUninstaller = message.text;
      return std::nullopt;
    case IST_CODE_MESSAGE:
      Say(Utf8(message.text));
      return std::nullopt;
    case UNIST_CODE_PROGRESS:
      Progress(Percent(std::isfinite(message.value) ? std::clamp(message.value, 0.0, 1.0) : 0.0),
               InstallStage::Removing);
      return std::nullopt;
    case UNIST_CODE_FAIL:
    case UNIST_CODE_ERROR:
      Say(Tr(kConsoleRemovalFailed, {message.text}));
      return kExitRemovalFailed;
    default:
      return std::nullopt;
  }
}

int RunUnattendedInstall(const InstallerSettings& settings, InstallationRecords& records,
                         const TextSink& write, bool terminal) {
  const InstallPlan plan = PlanInstallation(settings, records);
  InterfaceTexts texts;
  const int language = LoadConsoleLanguage(settings, records, texts);
  DEBUG_LOG(L"unattended installation into %s, language %d", plan.folder.c_str(), language);
  write(ConsoleText(texts, kConsoleInstalling, {plan.folder}) + "\n");
  if (std::optional<int> refused = CheckBeforeInstall(settings, plan.folder, write, texts)) return *refused;
  records.installFolder = plan.folder;

  UnattendedSession session(settings, records, write, terminal, texts);
  NotificationQueue queue;
  std::optional<int> outcome;
  {
    CDownloadInstaller installer(queue.Callback());
    installer.Configure(settings.downloadUrl, records.recordedFolder, plan.previousUninstaller,
                        plan.folder, true, true, records.adminAct, records.authorizationAct,
                        PackageLanguageCode(true, language));
    ReportView(L"安装中", {{L"AB", L"IN"}});
    if (!installer.Start()) {
      write(ConsoleText(texts, kConsoleFolderUnusable, {plan.folder}) + "\n");
      return kExitInvalidFolder;
    }
    while (!outcome) outcome = session.Handle(queue.Next(), installer.PackagePath());
    // The orchestrator's destruction waits for its workers, whose own
    // reactions (deleting the package) then have run.
  }
  return *outcome;
}

}  // namespace Installer
