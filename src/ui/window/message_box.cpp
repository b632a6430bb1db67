#include "ui/window/message_box.h"

#include "ui/interface_text.h"
#include "support/debug_log.h"

namespace Installer {

CMessageBoxWnd::CMessageBoxWnd(std::wstring layoutFile, FileReader reader)
    : CSkinFrame(std::move(layoutFile), std::move(reader)) {}

void CMessageBoxWnd::OnClick(const Ui::Notification& notification) {
  const std::wstring name = notification.sender != nullptr ? notification.sender->Name() : L"";
  if (name == L"okBtn") {
    result_ = kDialogOk;
    Close(kDialogOk);
  } else if (name == L"cancelBtn") {
    result_ = kDialogCancel;
    Close(kDialogCancel);
  } else {
    CSkinFrame::OnClick(notification);
    result_ = kDialogClosed;
  }
}

int ShowMessageBox(Ui::Window& owner, const std::wstring& layoutFile,
                   const std::optional<std::wstring>& text, const std::optional<std::wstring>& caption) {
  if (owner.Factory() == nullptr) return kDialogCancel;
  CMessageBoxWnd dialog(layoutFile, owner.Reader());
  // The dialog speaks the language of the window that opens it.
  dialog.SetTextSource(owner.GetTextSource());
  dialog.SetTitle(owner.Text(kTextDialogTitle.id, kTextDialogTitle.fallback));
  if (!dialog.Create(*owner.Factory(), &owner)) return kDialogCancel;
  if (text) {
    if (Ui::Control* label = dialog.FindControl(L"textLbl")) label->SetText(*text);
  }
  if (caption) {
    if (Ui::Control* label = dialog.FindControl(L"captionLbl")) label->SetText(*caption);
  }
  dialog.CenterWindow();
  dialog.ShowModal();
  DEBUG_LOG(L"%s answered %d", layoutFile.c_str(), dialog.Result());
  return dialog.Result();
}

}  // namespace Installer
