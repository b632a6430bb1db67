// Every text the installer's own code shows a person, by its number in the
// skin's "language.json", with the text shown when the table has none.
//
// The window's texts fall back to the layouts' own wording (Chinese), so a
// skin without a table looks as it always did; the console's fall back to
// English. The layouts' texts are numbered in the layouts themselves
// ("textid", docs/ui-framework.md), from 1 to 99.
//
// Adding a text: give it the next free number of its range below, add a
// `TextRef` here (and to kWindowTexts or kConsoleTexts), and add an element
// with that "id" and all fourteen locale members to skin/language.json. The
// language tests then check that every language has it, that it fits where
// it is shown and that the fonts draw every character of it.
//   100-199  the window's messages and dialog texts
//   200-299  the console (unattended mode)
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace Installer {

struct TextRef {
  int id;
  const wchar_t* fallback;
};

// ---- the window ---------------------------------------------------------------------
inline constexpr TextRef kTextProductRunning{100, L"安装程序检测到Talvorin\r\n正在运行，请退出程序后再安装"};
inline constexpr TextRef kTextInvalidPath{101, L"无效路径"};
inline constexpr TextRef kTextPoorNetwork{102, L"当前网络环境较差，请在网络通畅时进行安装"};
inline constexpr TextRef kTextInstallFailed{103, L"安装失败"};
inline constexpr TextRef kTextNoSpace{104, L"磁盘空间不足，请至少保留1G可用空间后再安装"};
inline constexpr TextRef kTextMessageCaption{105, L"消息"};
inline constexpr TextRef kTextChooseFolder{106, L"选择一个文件夹"};
// Progress templates: one "%d" for the percent, "%%" for a percent sign.
inline constexpr TextRef kTextProgressShortWait{107, L"正在安装中:%d%%，请稍候..."};
inline constexpr TextRef kTextProgressLongWait{108, L"正在安装中:%d%%，请耐心等待..."};
inline constexpr TextRef kTextDialogTitle{109, L"消息框"};
inline constexpr TextRef kTextTipCaption{110, L"温馨提示"};
// Failures the package runner reports in its own words.
inline constexpr TextRef kTextPackageCrashed{111, L"安装包异常退出"};
inline constexpr TextRef kTextPackageFailed{112, L"安装包安装失败"};
// A package refused by "PackagePublisher": "%1" is the expected publisher.
inline constexpr TextRef kTextPublisherRefused{113, L"安装包没有“%1”的有效数字签名，未运行安装包"};

inline constexpr TextRef kWindowTexts[] = {
    kTextProductRunning,    kTextInvalidPath,      kTextPoorNetwork,  kTextInstallFailed,
    kTextNoSpace,           kTextMessageCaption,   kTextChooseFolder, kTextProgressShortWait,
    kTextProgressLongWait,  kTextDialogTitle,      kTextTipCaption,   kTextPackageCrashed,
    kTextPackageFailed,     kTextPublisherRefused,
};

// ---- the console: "%1", "%2" stand for the values -------------------------------------
inline constexpr TextRef kConsoleInstalling{200, L"Installing Talvorin into %1"};
inline constexpr TextRef kConsoleProductRunning{201, L"Talvorin is running. Close it, then start the installation again."};
inline constexpr TextRef kConsoleInvalidFolder{202, L"The installation folder cannot be created: %1"};
inline constexpr TextRef kConsoleUnknownSpace{203, L"The free disk space for the installation cannot be determined: %1"};
inline constexpr TextRef kConsoleNoSpace{204, L"Not enough free disk space for the installation: %1 GiB free, 1 GiB needed."};
inline constexpr TextRef kConsoleNoNetwork{205, L"The network does not reach the internet. Install again when it does."};
inline constexpr TextRef kConsoleDownloadFailed{206, L"The download failed (code %1 %2). Check the network and start the installation again."};
inline constexpr TextRef kConsoleInstalled{207, L"Talvorin is installed in %1."};
inline constexpr TextRef kConsoleInstallFailed{208, L"The installation failed: %1"};
inline constexpr TextRef kConsoleRemovalFailed{209, L"The earlier version could not be removed (%1). Close Talvorin, then start the installation again."};
inline constexpr TextRef kConsoleFolderUnusable{210, L"The installation folder cannot be used: %1"};
inline constexpr TextRef kConsoleStageRemoving{211, L"removing the earlier version"};
inline constexpr TextRef kConsoleStageDownloading{212, L"downloading"};
inline constexpr TextRef kConsoleStageInstalling{213, L"installing"};
inline constexpr TextRef kConsoleNoDisplay{214, L"talvorin-installer: no display to show the installer window on (neither DISPLAY nor WAYLAND_DISPLAY is set). Start it in a graphical session, or install without a window: talvorin-installer -silent=true"};
inline constexpr TextRef kConsoleNoWindow{215, L"talvorin-installer: the installer window could not be shown. Install without a window: talvorin-installer -silent=true"};

inline constexpr TextRef kConsoleTexts[] = {
    kConsoleInstalling,     kConsoleProductRunning,   kConsoleInvalidFolder,   kConsoleUnknownSpace,
    kConsoleNoSpace,        kConsoleNoNetwork,        kConsoleDownloadFailed,  kConsoleInstalled,
    kConsoleInstallFailed,  kConsoleRemovalFailed,    kConsoleFolderUnusable,  kConsoleStageRemoving,
    kConsoleStageDownloading, kConsoleStageInstalling, kConsoleNoDisplay,      kConsoleNoWindow,
};

// `pattern` with "%1" … "%9" replaced by the values, in any order a
// language needs; "%%" is a percent sign, and any other "%" stays as it is.
std::wstring FormatText(std::wstring_view pattern, std::initializer_list<std::wstring_view> values);

}  // namespace Installer
