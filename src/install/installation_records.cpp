#include "install/installation_records.h"

#include <ctime>
#include <cwchar>

#include "support/installer_settings.h"
#include "install/install_folder.h"
#include "install/profile_writer.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/profile_file.h"
#include "support/system_probes.h"

namespace Installer {

namespace {

constexpr wchar_t kSep = Utils::kPathSeparator;

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && Utils::IsPathSeparator(folder.back())) return folder + name;
  return folder + kSep + name;
}

}  // namespace

void InstallationRecords::Read() {
  recordedFolder.clear();
  recordedUninstaller.clear();
  ReadRecordValue(recordsKey, L"InstallPath", recordedFolder);
  ReadRecordValue(recordsKey, L"UnInstallEp", recordedUninstaller);
  if (recordedUninstaller.empty() && !recordedFolder.empty()) {
    recordedUninstaller = Join(recordedFolder, kUninstallerFileName);
  }
}

std::wstring ChooseDefaultInstallFolder(const std::wstring& recordedFolder,
                                        bool recordedUninstallerExists, bool adminAct,
                                        bool authorizationAct,
                                        const std::optional<std::wstring>& appData,
                                        const std::wstring& programFilesX86,
                                        const std::wstring& programFiles) {
  if (!recordedFolder.empty() && recordedUninstallerExists) return recordedFolder;
  std::wstring base;
  if (adminAct && authorizationAct && appData) {
    base = Join(*appData, L"brenmoor");
  } else {
    base = programFilesX86.empty() ? programFiles : programFilesX86;
  }
  return Join(base, TheInstallerSettings().productName);
}

std::wstring InstallationRecords::DefaultInstallFolder() {
  std::wstring user;
  adminAct = Utils::GetActiveSessionUser(user) && !user.empty() && Utils::IsAdminAccount(user);
  authorizationAct = Utils::IsRunAsAdmin();
  return ChooseDefaultInstallFolder(recordedFolder, Utils::FileExists(recordedUninstaller), adminAct,
                                    authorizationAct, AppDataFolder(), ProgramFilesX86Folder(),
                                    ProgramFilesFolder());
}

bool InstallationRecords::IsDefaultFolder(const std::wstring& folder) {
  return IsSameFolder(DefaultInstallFolder(), folder);
}

std::wstring InstallationRecords::CustomInstallFolder(const std::wstring& editText) {
  const std::wstring defaultFolder = DefaultInstallFolder();
  if (IsSameFolder(defaultFolder, editText)) return defaultFolder;
  std::wstring folder = editText;
#ifdef _WIN32
  for (wchar_t& c : folder) {
    if (c == L'/') c = L'\\';
  }
#endif
  return Join(folder, TheInstallerSettings().productName);
}

bool InstallationRecords::KeepsEarlierInstallation(const std::wstring& chosenFolder) const {
  if (!IsSameFolder(recordedFolder, chosenFolder)) return false;
  std::wstring value = Utils::ReadProfileString(L"Uninstall", L"IsOverride", L"true",
                                                Join(chosenFolder, L"set.ini"));
  if (value.size() > 19) value.resize(19);  // the 20-character buffer of the rule
  return value == L"false";
}

void InstallationRecords::WriteRecords() const {
  WriteRecordValue(recordsKey, L"InstallPath", installFolder);
  const std::wstring uninstaller =
      reportedUninstaller.empty() ? Join(installFolder, kUninstallerFileName) : reportedUninstaller;
  if (Utils::FileExists(uninstaller)) WriteRecordValue(recordsKey, L"UnInstallEp", uninstaller);
}

std::wstring AnalyticsSettingsFolder(const std::optional<std::wstring>& appData,
                                     const std::wstring& commonDocuments) {
  const std::wstring base = appData ? *appData : commonDocuments;
  return Join(Join(base, L"ZorvanData"), TheInstallerSettings().productName);
}

std::wstring LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  wchar_t text[64];
  std::swprintf(text, 64, L"%d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

void InstallationRecords::WriteInstallSettingsFile() const {
  const InstallerSettings& settings = TheInstallerSettings();
  const std::wstring setIni = Join(installFolder, L"set.ini");
  WriteProfileValue(L"Install", L"APPStore", settings.exeName, setIni);
  WriteProfileValue(L"Install", L"AppName", settings.productName, setIni);
  WriteProfileValue(L"Install", L"DeviceID", Utils::NewGuidText(), setIni);
  const std::wstring folder = AnalyticsSettingsFolder(AppDataFolder(), CommonDocumentsFolder());
  if (!Utils::CreateDirectories(folder)) {
    DEBUG_LOG(L"the analytics folder cannot be created: %s", folder.c_str());
    return;
  }
  const std::wstring analytics = Join(folder, L"ZVAnalytics.ini");
  WriteProfileValue(L"Install", L"ZVAnalyticsIni", analytics, setIni);
  WriteProfileValue(L"Init", L"UpdateTime", LocalTimeText(), analytics);
}

}  // namespace Installer
