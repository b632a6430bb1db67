#include "ui/window/main_wnd.h"

#ifdef _WIN32
#include <objbase.h>
#endif

#include "analytics/funnel_events.h"
#include "support/installer_settings.h"
#include "install/install_folder.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"
#include "support/termination.h"
#include "support/thread.h"
#include "ui/framework/button.h"
#include "ui/framework/combo.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/label.h"
#include "ui/framework/progress.h"
#include "ui/window/message_box.h"
#include "ui/window/sequence_controls.h"
#include "ui/window/shell_open.h"

namespace Installer {
namespace {

constexpr wchar_t kMainLayout[] = L"MainWnd.xml";
constexpr wchar_t kLogoImage[] = L"res\\mainWnd\\logo.png";
constexpr std::uint32_t kProductWaitPollMs = 300;

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || Utils::IsPathSeparator(folder.back())) return folder + name;
  return folder + Utils::kPathSeparator + name;
}

}  // namespace

CMainWnd::CMainWnd(FileReader reader, std::wstring recordsKey)
    : CSkinFrame(kMainLayout, std::move(reader)),
      recordsKey_(std::move(recordsKey)),
      progress_(TheInstallerSettings().downloadScale) {
  records_.recordsKey = recordsKey_;
  SetTextSource([this](int id) -> std::optional<std::wstring> {
    std::optional<std::wstring> text = texts_.Find(id);
    if (text && text->empty()) return std::nullopt;
    return text;
  });
}

void CMainWnd::ApplyLanguage(int index) {
  languageIndex_ = LoadLanguage(index, L"", Reader(), texts_);
  Translate();
  for (const wchar_t* name : kFittedLabels) {
    if (auto* label = Find<Ui::Label>(name)) label->SetFixedWidth(label->MeasureText().cx);
  }
  TheInstallerSettings().language = languageIndex_;
  DEBUG_LOG(L"interface language %d", languageIndex_);
}

void CMainWnd::InitializeLanguage() {
  auto* combo = dynamic_cast<Ui::Combo*>(languageCombo_);
  if (combo == nullptr) return;
  // The languages by their own names, unless the layout lists them.
  if (combo->Count() == 0) {
    for (const wchar_t* name : kLanguageNativeNames) combo->AddItem(name);
  }
  const int index = InitialLanguageIndex(TheInstallerSettings().language, SystemUiLanguage());
  combo->SelectItem(index, false);
  ApplyLanguage(index);
}

CMainWnd::~CMainWnd() {
  if (networkCheck_.joinable()) networkCheck_.join();
  // Ends a wait for the product and waits for the workers, whose last
  // notifications are then dropped with the window's queue.
  installer_.reset();
}

void CMainWnd::OnInitialize() {
  AddMessageFilter(this);
  winCtn_ = FindControl(L"winCtn");
  titleTab_ = Find<Ui::TabLayout>(L"titleTabLt");
  mainTab_ = Find<Ui::TabLayout>(L"mainTabLt");
  defaultInstallBtn_ = FindControl(L"defaultInstallBtn");
  customeBtn_ = FindControl(L"customeBtn");
  tipLbl_ = FindControl(L"tipLbl");
  treatyCb_ = Find<Ui::CheckBox>(L"treatyCb");
  treatyBtn_ = Find<Ui::CheckBox>(L"treatyBtn");
  serviceCb_ = Find<Ui::CheckBox>(L"serviceCb");
  backBtn_ = FindControl(L"backBtn");
  installDirEdit_ = Find<Ui::Edit>(L"installDirEdit");
  createDSCb_ = Find<Ui::CheckBox>(L"createDSCb");
  createQSCb_ = Find<Ui::CheckBox>(L"createQSCb");
  customeInstallBtn_ = FindControl(L"customeInstallBtn");
  progressAnLb_ = Find<SkinUI::CSequenceLabelUI>(L"progressAnLb");
  progressLb_ = FindControl(L"progressLb");
  installPrg_ = Find<Ui::Progress>(L"installPrg");
  finishedLbl_ = Find<SkinUI::CSequenceLabelUI>(L"finishedLbl");
  titleGrpCtn_ = FindControl(L"titleGrpCtn");
  installLogo_ = FindControl(L"installLogo");
  softNameLbl_ = FindControl(L"softNameLbl");
  languageCombo_ = FindControl(L"languageCombo");
  InitializeLanguage();

  const std::wstring& name = TheInstallerSettings().productName;
  for (const wchar_t* labelName : {L"softNameLbl", L"bTitleLbl1", L"bTitleLbl2", L"bTitleLbl3"}) {
    if (auto* label = Find<Ui::Label>(labelName)) {
      label->SetText(name);
      label->SetFixedWidth(label->MeasureText().cx);
    }
  }
  SetTitle(name);
  // The logo's mark is the square at its left end, as in the program's icon
  // resource on Windows.
  if (auto logo = GetImage(kLogoImage); logo != nullptr) {
    SetIcon(logo->Crop({0, 0, logo->Height(), logo->Height()}));
  }

  installer_ = std::make_unique<CDownloadInstaller>(
      [this](std::int32_t code, double value, const wchar_t* text) { PostNotification(code, value, text); });

  records_.Read();
  existingInstallFound_ = !records_.recordedFolder.empty() && Utils::DirectoryExists(records_.recordedFolder);
  if (existingInstallFound_) {
    // The product keeps the language it was installed with. A folder
    // without its settings file names none and leaves the choice alone.
    const std::wstring earlier = EarlierInstallationLanguage(records_.recordedFolder);
    auto* combo = dynamic_cast<Ui::Combo*>(languageCombo_);
    if (!earlier.empty() && combo != nullptr) {
      const int index = LoadLanguage(0, earlier, Reader(), texts_);
      combo->SelectItem(index, false);
      ApplyLanguage(index);
    }
  }
  const std::wstring defaultFolder = records_.DefaultInstallFolder();
  if (installDirEdit_ != nullptr) installDirEdit_->SetText(defaultFolder);
  DEBUG_LOG(L"earlier installation: %s (%s); default folder %s", records_.recordedFolder.c_str(),
            existingInstallFound_ ? L"found" : L"none", defaultFolder.c_str());
  OnPageChanged(CurrentPage());
  CenterWindow();
  // Dialogs about the earlier installation come once the window shows.
  if (existingInstallFound_) PostTask([this] { HandleExistingInstallation(); });
}

void CMainWnd::OnClosing() {
  if (installer_ != nullptr) installer_->CancelWait();
}

int CMainWnd::CurrentPage() const { return mainTab_ != nullptr ? mainTab_->CurrentSel() : kPageStart; }

int CMainWnd::Ask(const std::wstring& layout, const std::wstring& text, const std::wstring& caption) {
  return ShowMessageBox(*this, layout, text.empty() ? std::nullopt : std::optional<std::wstring>(text),
                        caption.empty() ? std::nullopt : std::optional<std::wstring>(caption));
}

bool CMainWnd::ProductRunning() const { return Utils::FindProcessId(kProductExecutableName) != 0; }

void CMainWnd::HandleExistingInstallation() {
  if (IsClosed()) return;
  const InstallerSettings& settings = TheInstallerSettings();
  const std::wstring folder = records_.recordedFolder;
  if (ProductRunning() && !settings.insNew) {
    Ask(kMessageBox1, Tr(kTextProductRunning), Tr(kTextTipCaption));
    Close(1);
    return;
  }
  if (!settings.insNew) {
    switch (Ask(kInstalledPathTip)) {
      case kDialogOk:
        break;
      case kDialogCancel: {
        productExePath_ = JoinPath(folder, kProductExecutableName);
        ShellOpen(productExePath_, folder);
        Close(1);
        return;
      }
      default:
        Close(1);
        return;
    }
  }
  StartInstall(folder, true, true);
}

bool CMainWnd::StartInstall(const std::wstring& folder, bool desktopShortcut, bool quickStartShortcut) {
  const InstallerSettings& settings = TheInstallerSettings();
  if (installing_) {
    DEBUG_LOG(L"an installation runs already; another start is refused");
    return false;
  }
  if (!settings.insNew && Utils::FindProcessId(settings.productName + L"_un_asa.exe") != 0) {
    Ask(kMessageBox1, Tr(kTextProductRunning), Tr(kTextTipCaption));
    if (existingInstallFound_) Close(1);
    return false;
  }
  if (!settings.insNew && ProductRunning()) {
    Ask(kMessageBox1, Tr(kTextProductRunning), Tr(kTextTipCaption));
    Close(1);
    return false;
  }
  if (customeInstallBtn_ != nullptr) customeInstallBtn_->SetEnabled(false);
  // A folder no Windows path may hold would reach the package's command
  // line; it is refused here like one that cannot be created.
  if (!IsValidInstallFolder(folder) || !Utils::CreateDirectories(folder)) {
    DEBUG_LOG(L"invalid folder: %s", folder.c_str());
    Ask(kMessageBox2, Tr(kTextInvalidPath), Tr(kTextTipCaption));
    SendNotify(Root(), L"install", 0);
    return false;
  }
  Utils::HardDiskManager disk;
  disk.CheckFreeSpace(folder);
  const double freeGigabytes = static_cast<double>(disk.freeBytesAvailable) / (1024.0 * 1024.0 * 1024.0);
  if (freeGigabytes < kRequiredFreeGigabytes) {
    DEBUG_LOG(L"%.2f GiB free in %s", freeGigabytes, folder.c_str());
    Ask(kMessageBox2, Tr(kTextNoSpace), Tr(kTextTipCaption));
    SendNotify(Root(), L"install", 0);
    return false;
  }
  records_.installFolder = folder;
  const std::wstring uninstaller =
      records_.KeepsEarlierInstallation(folder) ? std::wstring() : records_.recordedUninstaller;
  auto* combo = dynamic_cast<Ui::Combo*>(languageCombo_);
  installer_->Configure(settings.downloadUrl, records_.recordedFolder, uninstaller, folder, desktopShortcut,
                        quickStartShortcut, records_.adminAct, records_.authorizationAct,
                        PackageLanguageCode(combo != nullptr, combo != nullptr ? combo->CurrentSel() : -1));
  DEBUG_LOG(L"installing into %s (desktop %d, quick launch %d, removing %s)", folder.c_str(),
            desktopShortcut ? 1 : 0, quickStartShortcut ? 1 : 0, uninstaller.c_str());
  if (!settings.isCheckNet) {
    SendNotify(Root(), L"install", 1, 0, true);
    return true;
  }
  if (networkCheck_.joinable()) networkCheck_.join();
  networkCheck_ = std::thread([this] {
    Utils::AlternateSignalStack signalStack;
#ifdef _WIN32
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
#endif
    const std::uint32_t verdict = Utils::CheckNetwork();
    SendNotify(Root(), L"checknet", verdict, 0, true);
#ifdef _WIN32
    if (SUCCEEDED(com)) CoUninitialize();
#endif
  });
  return true;
}

void CMainWnd::OnCheckNet(std::uint32_t verdict) {
  if (verdict > 0xFFFF) Ask(kMessageBox2, Tr(kTextPoorNetwork), Tr(kTextTipCaption));
  SendNotify(Root(), L"install", verdict <= 0xFFFF ? 1 : 0);
}

void CMainWnd::BeginInstalling(bool start) {
  // A second "install" (a double click during the network check) must not
  // start the orchestrator again under the running installation.
  if (start && installing_) {
    DEBUG_LOG(L"an installation runs already; the second start is refused");
    return;
  }
  if (start && !IsClosed()) {
    previousPage_ = CurrentPage();
    progress_ = InstallProgress(TheInstallerSettings().downloadScale);
    ShowPage(kPageInstalling);
    zorvan::analytics::ReportView(L"安装中", {{L"AB", group_}});
    installing_ = true;
    if (!installer_->Start()) {
      installing_ = false;
      Ask(kMessageBox2, Tr(kTextInvalidPath), Tr(kTextTipCaption));
      ShowPage(previousPage_);
    }
  }
  if (customeInstallBtn_ != nullptr) customeInstallBtn_->SetEnabled(true);
}

void CMainWnd::ShowPage(int page) {
  if (mainTab_ != nullptr && mainTab_->SelectItem(page)) return;  // "tabselect" follows
  OnPageChanged(page);
}

void CMainWnd::OnPageChanged(int page) {
  std::wstring background = L"res\\mainWnd\\bg1.png";
  int titlePage = 0;
  switch (page) {
    case kPageStart:
      titlePage = 1;
      break;
    case kPageCustom:
      background = L"res\\mainWnd\\bg2.png";
      titlePage = 1;
      break;
    case kPageInstalling:
      background = L"res\\mainWnd\\bg3.png";
      titlePage = titleTab_ != nullptr ? titleTab_->CurrentSel() : 0;
      if (progressAnLb_ != nullptr) progressAnLb_->Start();
      break;
    case kPageFinished:
      background = L"res\\mainWnd\\bg4.png";
      titlePage = 2;
      if (progressAnLb_ != nullptr) progressAnLb_->KillTimer(SkinUI::kSequenceTimerId);
      if (finishedLbl_ != nullptr) finishedLbl_->Start();
      break;
    default:
      break;
  }
  if (winCtn_ != nullptr) winCtn_->SetBkImage(background);
  if (titleTab_ != nullptr) titleTab_->SelectItem(titlePage);
  const bool installing = page == kPageInstalling;
  if (titleGrpCtn_ != nullptr) titleGrpCtn_->SetVisible(!installing);
  if (installLogo_ != nullptr) installLogo_->SetVisible(installing);
  if (backBtn_ != nullptr) backBtn_->SetVisible(page == kPageCustom);
  // The language is chosen before an installation starts; the package
  // receives it with the job.
  const bool choosing = page == kPageStart || page == kPageCustom;
  for (const wchar_t* name : {L"languageCombo", L"lbLanguage"}) {
    if (Ui::Control* control = FindControl(name)) control->SetVisible(choosing);
  }
  if (Root() != nullptr) {
    if (installing) {
      Root()->SetTimer(kProductWaitTimer, kProductWaitPollMs);
    } else {
      Root()->KillTimer(kProductWaitTimer);
    }
  }
}

void CMainWnd::Notify(const Ui::Notification& n) {
  if (n.type == L"click") {
    OnClick(n);
  } else if (n.type == L"selectchanged") {
    OnSelectChanged(n.sender);
  } else if (n.type == L"tabselect") {
    if (n.sender != nullptr && n.sender == mainTab_) OnPageChanged(static_cast<int>(n.wParam));
  } else if (n.type == L"checknet") {
    OnCheckNet(static_cast<std::uint32_t>(n.wParam));
  } else if (n.type == L"install") {
    BeginInstalling(n.wParam != 0);
  } else if (n.type == L"timer") {
    OnTimer(n.sender, n.wParam);
  } else if (n.type == L"itemselect" && n.sender != nullptr && n.sender == languageCombo_) {
    ApplyLanguage(dynamic_cast<Ui::Combo*>(n.sender)->CurrentSel());
  }
}

void CMainWnd::OnClick(const Ui::Notification& n) {
  const std::wstring name = n.sender != nullptr ? n.sender->Name() : L"";
  const zorvan::analytics::ReportExtras extras = {{L"AB", group_}};
  if (name == L"defaultInstallBtn") {
    zorvan::analytics::ReportClick(L"立即安装", extras);
    if (treatyCb_ == nullptr || treatyCb_->IsSelected()) {
      StartInstall(records_.DefaultInstallFolder(), true, true);
    } else if (tipLbl_ != nullptr) {
      tipLbl_->SetVisible(true);
    }
  } else if (name == L"customeBtn") {
    zorvan::analytics::ReportClick(L"自定义安装", extras);
    ShowPage(kPageCustom);
  } else if (name == L"treatyBtn") {
    ShellOpen(kLicenseUrl, L"", ShowStyle::kMaximized);
  } else if (name == L"backBtn") {
    ShowPage(kPageStart);
  } else if (name == L"chDirBtn") {
    const std::wstring current = installDirEdit_ != nullptr ? installDirEdit_->Text() : L"";
    folderBrowser_.Browse(Tr(kTextChooseFolder), current, [this](const std::wstring& folder) {
      if (installDirEdit_ != nullptr) installDirEdit_->SetText(folder);
    });
  } else if (name == L"customeInstallBtn") {
    zorvan::analytics::ReportClick(L"自定义安装_立即安装", extras);
    const std::wstring text = installDirEdit_ != nullptr ? installDirEdit_->Text() : L"";
    StartInstall(records_.CustomInstallFolder(text), createDSCb_ == nullptr || createDSCb_->IsSelected(),
                 createQSCb_ == nullptr || createQSCb_->IsSelected());
  } else if (name == L"openProduceBtn") {
    zorvan::analytics::ReportClick(L"立即体验", extras);
    if (startupStyle_ == 2) StartProduct();
    Close(1);
  } else if (name == L"closebtn") {
    if (CurrentPage() == kPageFinished) {
      Close(1);
    } else {
      RequestExit();
    }
  } else {
    CSkinFrame::OnClick(n);
  }
}

void CMainWnd::RequestExit() {
  if (CurrentPage() != kPageInstalling) {
    if (Ask(kExitTip) == kDialogOk) Close(1);
    return;
  }
  // On the installing page only a wait for the running product may be left,
  // and the wait is held while the question is open: a product that ends
  // meanwhile must not start the removal of the earlier version behind a
  // "是" that then closes the window without installing.
  if (installer_ == nullptr || !installer_->HoldWait()) return;
  if (Ask(kExitTip) == kDialogOk) {
    Close(1);  // ends the held wait without starting anything
    return;
  }
  installer_->ReleaseWait();
}

void CMainWnd::OnSelectChanged(Ui::Control* sender) {
  if (sender == nullptr) return;
  if (sender == treatyCb_) {
    if (treatyBtn_ != nullptr) treatyBtn_->Selected(treatyCb_->IsSelected(), true);
    if (treatyCb_->IsSelected() && (serviceCb_ == nullptr || serviceCb_->IsSelected())) {
      if (customeBtn_ != nullptr) customeBtn_->SetEnabled(true);
      if (tipLbl_ != nullptr) tipLbl_->SetVisible(false);
    } else if (customeBtn_ != nullptr) {
      customeBtn_->SetEnabled(false);
    }
  } else if (sender == serviceCb_) {
    const bool on = serviceCb_->IsSelected();
    if (defaultInstallBtn_ != nullptr) defaultInstallBtn_->SetEnabled(on);
    if (customeBtn_ != nullptr) customeBtn_->SetEnabled(on && (treatyCb_ == nullptr || treatyCb_->IsSelected()));
  } else if (sender == treatyBtn_ && treatyCb_ != nullptr && treatyBtn_->IsSelected() != treatyCb_->IsSelected()) {
    treatyBtn_->Selected(treatyCb_->IsSelected(), false);
  }
}

void CMainWnd::OnTimer(Ui::Control* sender, std::uintptr_t id) {
  if (sender == nullptr || sender != Root()) return;
  if (id == kBringToFrontTimer) {
    Root()->KillTimer(kBringToFrontTimer);
    if (Host() != nullptr) Host()->Show(true);
  } else if (id == kAutoCloseTimer) {
    Root()->KillTimer(kAutoCloseTimer);
    Close(1);
  } else if (id == kProductWaitTimer) {
    // The title buttons come back while the installation waits for the
    // product to end, so that the wait can be left.
    if (titleGrpCtn_ != nullptr && CurrentPage() == kPageInstalling) {
      titleGrpCtn_->SetVisible(IsWaitingForProduct());
    }
  }
}

std::intptr_t CMainWnd::MessageHandler(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                       bool& handled) {
  if (message == Ui::Message::kClose) {
    if (CurrentPage() == kPageInstalling) {
      handled = true;
      if (IsWaitingForProduct()) PostTask([this] { RequestExit(); });
    }
  } else if (message == Ui::Message::kEndSession && wParam != 0) {
    // The session ends: the program ends as on any other request, without
    // waiting for a package that runs.
    handled = true;
    Utils::RequestTermination(L"the session ends");
  } else if (message == WM_DOWNLOADER_STARTED) {
    if (!startReported_) {
      startReported_ = true;
      zorvan::analytics::ReportTask(L"下载器启动", 0.0f, L"", {{L"AB", group_}});
    }
  } else if (message == WM_INSTALLER_NOTIFY) {
    handled = true;
    if (lParam != 0) {
      std::unique_ptr<NotifyMessage> owned(reinterpret_cast<NotifyMessage*>(lParam));
      HandleInstallerNotify(*owned);
    }
  }
  return 0;
}

}  // namespace Installer
