// The installer's small modal dialogs, drawn from the skin package.
#pragma once

#include <optional>
#include <string>

#include "ui/skin_package.h"
#include "ui/window/skin_frame.h"

namespace Installer {

inline constexpr wchar_t kMessageBox1[] = L"MessageBox1Wnd.xml";
inline constexpr wchar_t kMessageBox2[] = L"MessageBox2Wnd.xml";
inline constexpr wchar_t kExitTip[] = L"ExitTipWnd.xml";
inline constexpr wchar_t kNetworkTip[] = L"NetworkTipWnd.xml";
inline constexpr wchar_t kInstalledPathTip[] = L"InstalledPathTipWnd.xml";

// Results: "okBtn" 0, "cancelBtn" 1, the close button (or any other click
// that closes) 2; closed any other way (Alt+F4) 1.
enum DialogResult : int { kDialogOk = 0, kDialogCancel = 1, kDialogClosed = 2 };

class CMessageBoxWnd : public CSkinFrame {
 public:
  explicit CMessageBoxWnd(std::wstring layoutFile, FileReader reader = Ui::SkinPackageReader());
  void OnClick(const Ui::Notification& notification) override;
  int Result() const { return result_; }

 private:
  int result_ = kDialogCancel;
};

// Builds the dialog, owned by `owner` (its factory makes the dialog's host),
// puts the text and caption in when given, centres it and runs it modally.
// The result code; kDialogCancel when no window could be made.
int ShowMessageBox(Ui::Window& owner, const std::wstring& layoutFile,
                   const std::optional<std::wstring>& text = std::nullopt,
                   const std::optional<std::wstring>& caption = std::nullopt);

}  // namespace Installer
