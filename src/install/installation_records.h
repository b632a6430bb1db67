// The installation records the window keeps: where the product was installed
// and where its uninstaller lies (the per-user record store), the product's
// "set.ini", the analytics settings file, and the folder rules built on them.
// The window owns one and calls these helpers on its own thread.
#pragma once

#include <optional>
#include <string>

#include "install/record_store.h"

namespace Installer {

inline constexpr wchar_t kUninstallerFileName[] = L"uninst.ep";

struct InstallationRecords {
  std::wstring recordsKey = kRecordsKey;  // tests use a key of their own

  std::wstring recordedFolder;        // "InstallPath"
  std::wstring recordedUninstaller;   // "UnInstallEp", or the folder's "uninst.ep"
  std::wstring installFolder;         // of the installation under way (or reported by the package)
  std::wstring reportedUninstaller;   // "UninstEp=" of the package
  bool adminAct = false;
  bool authorizationAct = false;

  // Fills recordedFolder and recordedUninstaller from the store.
  void Read();
  // The folder to offer; also sets adminAct and authorizationAct.
  std::wstring DefaultInstallFolder();
  bool IsDefaultFolder(const std::wstring& folder);
  // The folder made from the edit field's text: the default folder as it
  // is, any other folder with the product's own subfolder appended.
  std::wstring CustomInstallFolder(const std::wstring& editText);
  // True when the earlier installation is to stay: the chosen folder is the
  // recorded one and its "set.ini" says "IsOverride" "false".
  bool KeepsEarlierInstallation(const std::wstring& chosenFolder) const;
  // After a success: "InstallPath", and "UnInstallEp" when that file exists.
  void WriteRecords() const;
  // set.ini of installFolder (section "Install") and the analytics settings
  // file's "UpdateTime".
  void WriteInstallSettingsFile() const;
};

// The default folder rule with every system answer given.
std::wstring ChooseDefaultInstallFolder(const std::wstring& recordedFolder,
                                        bool recordedUninstallerExists, bool adminAct,
                                        bool authorizationAct,
                                        const std::optional<std::wstring>& appData,
                                        const std::wstring& programFilesX86,
                                        const std::wstring& programFiles);

// <APPDATA, else the common documents>/ZorvanData/Talvorin
std::wstring AnalyticsSettingsFolder(const std::optional<std::wstring>& appData,
                                     const std::wstring& commonDocuments);

// "%d-%02d-%02d %02d:%02d:%02d" of the local time now.
std::wstring LocalTimeText();

}  // namespace Installer
