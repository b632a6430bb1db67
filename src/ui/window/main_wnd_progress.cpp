// The orchestrator's notifications on the window's thread: progress text and
// bar, funnel events, failures explained in dialogs, and on success the
// records, the finished page and the start of the product.
#include <cmath>
#include <limits>

#include "analytics/funnel_events.h"
#include "download/download_failure.h"
#include "install/failure_reasons.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "ui/framework/edit.h"
#include "ui/framework/button.h"
#include "ui/framework/progress.h"
#include "ui/window/main_wnd.h"
#include "ui/window/message_box.h"
#include "ui/window/shell_open.h"
#include "support/installer_settings.h"

namespace Installer {
namespace {

// A delay from the package as the timers take it: NaN and negatives as 0,
// beyond the range as the largest value.
std::uint32_t DelayMs(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(value);
}

int TruncatedInt(double value) {
  if (!std::isfinite(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}


}  // namespace

void CMainWnd::PostNotification(std::int32_t code, double value, const wchar_t* text) {
  // The record travels with the posted task, so it is freed also when the
  // window goes before the task runs.
  auto message = std::make_shared<NotifyMessage>();
  message->code = code;
  message->value = value;
  message->text = text != nullptr ? text : L"";
  PostTask([this, message] { HandleInstallerNotify(*message); });
}

float CMainWnd::DownloadSeconds() const {
  if (!downloadTiming_) return 0.0f;
  const auto elapsed = static_cast<std::uint32_t>(static_cast<std::uint32_t>(Now()) -
                                                  static_cast<std::uint32_t>(downloadStart_));
  return static_cast<float>(elapsed) / 1000.0f;
}

void CMainWnd::ShowProgress(int percent) {
  const std::wstring userdata = progressLb_ != nullptr ? progressLb_->UserData() : L"";
  const std::wstring text = FormatProgressText(
      ProgressTemplate(userdata, DownloadSeconds(), Tr(kTextProgressShortWait), Tr(kTextProgressLongWait)), percent);
  if (progressLb_ != nullptr) progressLb_->SetText(text);
  if (installPrg_ != nullptr) installPrg_->SetValue(percent);
}

void CMainWnd::HandleInstallerNotify(const NotifyMessage& m) {
  if (IsClosed()) return;
  const zorvan::analytics::ReportExtras extras = {{L"AB", group_}};
  switch (m.code) {
    case 1001:
      if (!startReported_) {
        startReported_ = true;
        group_ = TheInstallerSettings().abGroupCopy();
        zorvan::analytics::ReportTask(L"下载器启动", 0.0f, L"", {{L"AB", group_}});
      }
      downloadStart_ = Now();
      downloadTiming_ = true;
      zorvan::analytics::ReportTask(L"开始下载大包", 0.0f, L"", {{L"AB", group_}});
      break;
    case 1002:
      ShowProgress(progress_.DownloadPercent(m.value));
      break;
    case 1003:
      zorvan::analytics::ReportTask(L"大包下载完毕", DownloadSeconds(), L"", extras);
      break;
    case 1004:
      OnDownloadFailed(m);
      break;
    case 1006:
      ReportDigestNotice(m.value, m.text, group_);
      break;
    case 2001:
      records_.WriteInstallSettingsFile();
      break;
    case 2002:
      ShowProgress(progress_.InstallPercent(m.value));
      break;
    case 2003:
      OnInstallSucceeded();
      break;
    case 2004:
      OnInstallFailed(m);
      break;
    case 3000:
      // An empty report would put set.ini at the root of a drive: the chosen
      // folder stays.
      if (!m.text.empty()) records_.installFolder = m.text;
      break;
    case 3001:
      productExePath_ = m.text;
      break;
    case 3003:
      records_.reportedUninstaller = m.text;
      break;
    case 3004:
      startAddress_ = m.text;
      break;
    case 3005:
      startupStyle_ = TruncatedInt(m.value);
      break;
    case 3007:
      bringToFrontDelay_ = DelayMs(m.value);
      break;
    case 3008:
      autoCloseDelay_ = DelayMs(m.value);
      break;
    case 3009:
      Ask(kMessageBox1, m.text.empty() ? std::wstring(kEmptyPackageMessage) : m.text, Tr(kTextMessageCaption));
      break;
    case 5004:
    case 5005:
      installing_ = false;
      Ask(kMessageBox1, Tr(kTextProductRunning), Tr(kTextTipCaption));
      ShowPage(previousPage_);
      if (existingInstallFound_) Close(1);
      break;
    default:
      break;
  }
}

void CMainWnd::OnDownloadFailed(const NotifyMessage& m) {
  installing_ = false;
  ReportDownloadFailure(m.value, m.text, installer_->PackagePath(), group_);
  // A failure of unknown cause keeps the dialog's own words.
  const DownloadFailure failure = ParseFailureNotificationText(m.text);
  if (failure.kind == FailureClass::kPublisherRefused) {
    // Another try would fetch the same refused package: a notice, not the
    // network dialog's offer to try again.
    Ask(kMessageBox2, FormatText(Tr(kTextPublisherRefused), {failure.host}), Tr(kTextTipCaption));
    if (existingInstallFound_) Close(1);
    if (!IsClosed()) ShowPage(previousPage_);
    return;
  }
  const int answer =
      Ask(kNetworkTip, failure.kind == FailureClass::kUnknown ? std::wstring() : FailureWindowText(failure));
  if (answer == kDialogCancel) {
    if (existingInstallFound_) Close(1);
  } else if (answer == kDialogOk) {
    if (previousPage_ == kPageStart) {
      StartInstall(records_.DefaultInstallFolder(), true, true);
    } else if (previousPage_ == kPageCustom) {
      const std::wstring text = installDirEdit_ != nullptr ? installDirEdit_->Text() : L"";
      StartInstall(records_.CustomInstallFolder(text), createDSCb_ == nullptr || createDSCb_->IsSelected(),
                   createQSCb_ == nullptr || createQSCb_->IsSelected());
    }
  }
  if (!IsClosed()) ShowPage(previousPage_);
}

void CMainWnd::OnInstallFailed(const NotifyMessage& m) {
  if (!installing_) {
    DEBUG_LOG(L"a result after the installation's outcome is ignored: %d", m.code);
    return;
  }
  installing_ = false;
  ReportInstallFailure(m.value, m.text, group_);
  Ask(kMessageBox2, m.text.empty() ? Tr(kTextInstallFailed) : UserFailureText(texts_, m.text), Tr(kTextTipCaption));
  if (installPrg_ != nullptr && installPrg_->Value() >= 70) {
    if (progressLb_ != nullptr) progressLb_->SetText(FormatProgressText(Tr(kTextProgressShortWait), 0));
    installPrg_->SetValue(0);
  }
  ShowPage(kPageStart);
}

void CMainWnd::OnInstallSucceeded() {
  // The first outcome counts: a success after a failure (or a second one)
  // would run the finishing actions again, inside the failure's dialog.
  if (!installing_) {
    DEBUG_LOG(L"a result after the installation's outcome is ignored: 2003");
    return;
  }
  installing_ = false;
  zorvan::analytics::ReportTask(L"安装成功", 0.0f, L"", {{L"AB", group_}});
  if (installPrg_ != nullptr) installPrg_->SetValue(100);
  if (softNameLbl_ != nullptr) {
    softNameLbl_->SetText(TheInstallerSettings().productName);
    softNameLbl_->SetVisible(true);
  }
  ShowPage(kPageFinished);
  records_.WriteRecords();
  records_.WriteInstallSettingsFile();
  DEBUG_LOG(L"installed into %s; startup style %d", records_.installFolder.c_str(), startupStyle_);
  if (startupStyle_ == 1) StartProduct();
  if (Root() != nullptr) {
    if (bringToFrontDelay_ != 0) Root()->SetTimer(kBringToFrontTimer, bringToFrontDelay_);
    if (autoCloseDelay_ != 0) Root()->SetTimer(kAutoCloseTimer, autoCloseDelay_);
  }
}

void CMainWnd::StartProduct() {
  if (startAddress_.size() > 5) ShellOpen(startAddress_, L"", ShowStyle::kMaximized);
  if (!productExePath_.empty() && Utils::FileExists(productExePath_)) {
    // The finished page is on screen before the product takes the focus.
    if (Host() != nullptr) Paint();
    ShellOpen(productExePath_, records_.installFolder);
  }
}

}  // namespace Installer
