#include "app/installer_settings.h"

#include <algorithm>
#include <cmath>

#include "support/os_version.h"
#include "support/process_info.h"
#include "support/profile_file.h"
#include "support/file_system.h"
#include "support/text.h"

namespace Installer {

InstallerSettings::InstallerSettings() { applyDownloadUrl(kBuiltInPackageUrl); }

void InstallerSettings::ReadSettingsFile(const std::wstring& executablePath) {
  const std::size_t lastSeparator = [&] {
    for (std::size_t i = executablePath.size(); i-- > 0;)
      if (Utils::IsPathSeparator(executablePath[i])) return i;
    return std::wstring::npos;
  }();
  if (executablePath.empty()) return;
  exeName = executablePath.substr(lastSeparator == std::wstring::npos ? 0 : lastSeparator + 1);
  const std::wstring folder =
      lastSeparator == std::wstring::npos ? std::wstring() : executablePath.substr(0, lastSeparator + 1);
  const std::wstring file = folder + kSettingsFileName;
  if (!Utils::FileExists(file)) return;

  auto text = [&](const wchar_t* key, const wchar_t* fallback) {
    return Utils::ReadProfileString(kSettingsSection, key, fallback, file);
  };
  applyDownloadUrl(text(L"DownloadUrl", kBuiltInPackageUrl));
  downloadType = Utils::ReadProfileInt(kSettingsSection, L"DownloadType", 1, file);
  isCheckNet = text(L"IsCheckNet", L"true") == L"true";
  isEnableAppAnalytics = text(L"IsEnableAppAnalytics", L"true") == L"true";
  dlAppNameSuffix = text(L"DlAppNameSuffix", L".downloader");
  dlAppVersion = text(L"m_DlAppVersion", L"");
  downloadScale = DownloadScaleFromText(text(L"DownloadScale", L"0.7"));
  instCmd = text(L"InstCmd", L"");
  caBundle = text(L"CaBundle", L"");
  analyticsServerUrl = text(L"AnalyticsServerUrl", L"");
  locationServiceUrl = text(L"LocationServiceUrl", L"");
  proxyUrl = text(L"ProxyUrl", L"");
  mirrorUrls.clear();
  for (int n = 2; n < 2 + kMirrorKeys; ++n) {
    const std::wstring mirror = text((L"DownloadUrl" + std::to_wstring(n)).c_str(), L"");
    if (!mirror.empty()) mirrorUrls.push_back(RoutedUrl(mirror));
  }
  offlinePackage = text(L"OfflinePackage", kDefaultOfflinePackage);
  packageMd5 = text(L"PackageMd5", L"");
  packageSha256 = text(L"PackageSha256", L"");
  const int stallBytes = Utils::ReadProfileInt(kSettingsSection, L"StallBytesPerSecond", 0, file);
  stallBytesPerSecond = stallBytes > 0 ? stallBytes : kDefaultStallBytesPerSecond;
  const int stallTime = Utils::ReadProfileInt(kSettingsSection, L"StallSeconds", 0, file);
  stallSeconds = stallTime > 0 ? stallTime : kDefaultStallSeconds;
  productName = kProductName;
  productVersion = kProductVersion;
}

void InstallerSettings::applyDownloadUrl(const std::wstring& text) { downloadUrl = RoutedUrl(text); }

std::wstring RoutedUrl(const std::wstring& text) {
  if (text.find(kRoutePlaceholder) == std::wstring::npos) return text;
  std::wstring systemName, versionName;
  Utils::GetOsVersion(systemName, versionName);
  return SubstituteRoute(text, ChooseRoute(versionName, Utils::IsOs64Bit(), kProductId));
}

InstallerSettings& TheInstallerSettings() {
  static InstallerSettings settings = [] {
    InstallerSettings built;
    built.ReadSettingsFile(Utils::GetExecutablePath());
    return built;
  }();
  return settings;
}

std::wstring ChooseRoute(const std::wstring& osVersionName, bool os64Bit, std::int32_t productId) {
  if (osVersionName.find(L"XP") != std::wstring::npos) return L"download_silent_xp";
  const bool has64BitPackage = std::find(std::begin(kProductsWith64BitPackages),
                                         std::end(kProductsWith64BitPackages),
                                         productId) != std::end(kProductsWith64BitPackages);
  if (has64BitPackage && os64Bit) return L"download_silent_64";
  return L"download_silent";
}

std::wstring SubstituteRoute(const std::wstring& text, const std::wstring& route) {
  return Utils::ReplaceAll(text, kRoutePlaceholder, route);
}

double DownloadScaleFromText(const std::wstring& text) {
  const auto value = Utils::ParseDecimalDouble(text);
  if (!value) return 0.0;
  if (!std::isfinite(*value) || *value < 0.0 || *value > 1.0) return kDefaultDownloadScale;
  return *value;
}

// Built before the entry point runs, as the rest of the program expects.
namespace {
[[maybe_unused]] const InstallerSettings& kBuiltAtStartup = TheInstallerSettings();
}

}  // namespace Installer
