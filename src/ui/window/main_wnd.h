// The installer's main window: the one-click page, the custom page, the
// installing page and the finished page in one skinned frame; the checks
// before an installation starts, the hand-over to the orchestrator, the
// closing rules, and (main_wnd_progress.cpp) the orchestrator's
// notifications turned into progress, results and records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "ui/language.h"
#include "install/download_installer.h"
#include "install/installation_records.h"
#include "ui/window/folder_browser.h"
#include "ui/install_progress.h"
#include "ui/skin_package.h"
#include "ui/window/skin_frame.h"

namespace Ui {
class TabLayout;
class Progress;
class Edit;
class CheckBox;
}  // namespace Ui

namespace SkinUI {
class CSequenceLabelUI;
}

namespace Installer {

// The private message whose first arrival reports "下载器启动".
inline constexpr std::uint32_t WM_DOWNLOADER_STARTED = 0x0400 + 200;
// Timers of the root control.
inline constexpr std::uintptr_t kBringToFrontTimer = 10;
inline constexpr std::uintptr_t kAutoCloseTimer = 11;
// While the installing page shows: whether the orchestrator waits for the
// running product, when the user may close the window after all.
inline constexpr std::uintptr_t kProductWaitTimer = 12;

enum Page : int { kPageStart = 0, kPageCustom = 1, kPageInstalling = 2, kPageFinished = 3 };

inline constexpr wchar_t kRunningProductText[] = L"安装程序检测到Talvorin\r\n正在运行，请退出程序后再安装";
inline constexpr wchar_t kTipCaption[] = L"温馨提示";
// Interface text 104, when the language table has none.
inline constexpr wchar_t kNoSpaceText[] = L"磁盘空间不足，请至少保留1G可用空间后再安装";
// The labels whose width follows their text in every language.
inline constexpr const wchar_t* kFittedLabels[] = {L"lbLanguage", L"lbInstallPath", L"backBtn"};
inline constexpr double kRequiredFreeGigabytes = 1.0;
inline constexpr wchar_t kLicenseUrl[] = L"https://talvorin.example/license";
// A "Message=" without text: shown instead of the layout's placeholder.
inline constexpr wchar_t kEmptyPackageMessage[] = L"安装程序没有说明这条消息的内容";

class CMainWnd : public CSkinFrame, public Ui::IMessageFilter {
 public:
  // `recordsKey`: where the installation records live (tests use their own).
  explicit CMainWnd(FileReader reader = Ui::SkinPackageReader(), std::wstring recordsKey = kRecordsKey);
  ~CMainWnd() override;

  bool StartInstall(const std::wstring& folder, bool desktopShortcut, bool quickStartShortcut);
  void BeginInstalling(bool start);

  void Notify(const Ui::Notification& notification) override;
  void OnClick(const Ui::Notification& notification) override;
  std::intptr_t MessageHandler(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                               bool& handled) override;

  int CurrentPage() const;
  const std::wstring& InstallFolder() const { return records_.installFolder; }
  bool ExistingInstallFound() const { return existingInstallFound_; }
  bool IsWaitingForProduct() const { return installer_ != nullptr && installer_->IsWaitingForProduct(); }
  const std::wstring& Group() const { return group_; }
  // Loads the language with this list index, gives every control its text in
  // it, re-fits the labels that follow their text and keeps the choice.
  void ApplyLanguage(int index);
  // The list index of the interface language shown; -1 before any was applied.
  int LanguageIndex() const { return languageIndex_; }
  // A program text in the interface language.
  std::wstring Tr(const TextRef& text) const { return texts_.Get(text); }
  // Whether the custom page's folder chooser is open (Linux: a child process).
  bool IsChoosingFolder() const { return folderBrowser_.IsOpen(); }

 protected:
  void OnInitialize() override;
  void OnClosing() override;

 private:
  // ---- the flow ---------------------------------------------------------------
  void HandleExistingInstallation();
  void InitializeLanguage();
  void ShowPage(int page);
  void OnPageChanged(int page);
  void OnCheckNet(std::uint32_t verdict);
  void OnSelectChanged(Ui::Control* sender);
  void OnTimer(Ui::Control* sender, std::uintptr_t id);
  void RequestExit();
  bool ProductRunning() const;
  int Ask(const std::wstring& layout, const std::wstring& text = L"", const std::wstring& caption = L"");

  // ---- notifications from the orchestrator (main_wnd_progress.cpp) ---------------
  void PostNotification(std::int32_t code, double value, const wchar_t* text);
  void HandleInstallerNotify(const NotifyMessage& message);
  void ShowProgress(int percent);
  float DownloadSeconds() const;
  void OnDownloadFailed(const NotifyMessage& message);
  void OnInstallFailed(const NotifyMessage& message);
  void OnInstallSucceeded();
  void StartProduct();

  std::wstring recordsKey_;
  std::unique_ptr<CDownloadInstaller> installer_;
  std::thread networkCheck_;
  FolderBrowser folderBrowser_{[this](std::function<void()> task) { PostTask(std::move(task)); }};
  InstallationRecords records_;
  InterfaceTexts texts_;
  int languageIndex_ = -1;
  bool existingInstallFound_ = false;
  int previousPage_ = kPageStart;
  std::wstring group_ = L"IN";
  bool startReported_ = false;
  // From the orchestrator's start to the outcome (download failure, removal
  // failure, installation result): a second start is refused meanwhile.
  bool installing_ = false;

  // From the package and the download.
  InstallProgress progress_;
  std::uint64_t downloadStart_ = 0;
  bool downloadTiming_ = false;
  std::wstring productExePath_;
  std::wstring startAddress_;
  int startupStyle_ = 0;
  std::uint32_t bringToFrontDelay_ = 3000;
  std::uint32_t autoCloseDelay_ = 0xFFFFFFFFu;

  // Controls (any may be missing from a skin).
  Ui::Control* winCtn_ = nullptr;
  Ui::TabLayout* titleTab_ = nullptr;
  Ui::TabLayout* mainTab_ = nullptr;
  Ui::Control* defaultInstallBtn_ = nullptr;
  Ui::Control* customeBtn_ = nullptr;
  Ui::Control* tipLbl_ = nullptr;
  Ui::CheckBox* treatyCb_ = nullptr;
  Ui::CheckBox* treatyBtn_ = nullptr;
  Ui::CheckBox* serviceCb_ = nullptr;
  Ui::Control* backBtn_ = nullptr;
  Ui::Edit* installDirEdit_ = nullptr;
  Ui::CheckBox* createDSCb_ = nullptr;
  Ui::CheckBox* createQSCb_ = nullptr;
  Ui::Control* customeInstallBtn_ = nullptr;
  SkinUI::CSequenceLabelUI* progressAnLb_ = nullptr;
  Ui::Control* progressLb_ = nullptr;
  Ui::Progress* installPrg_ = nullptr;
  SkinUI::CSequenceLabelUI* finishedLbl_ = nullptr;
  Ui::Control* titleGrpCtn_ = nullptr;
  Ui::Control* installLogo_ = nullptr;
  Ui::Control* softNameLbl_ = nullptr;
  Ui::Control* languageCombo_ = nullptr;
};

}  // namespace Installer
