#include "support/installer_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "support/os_version.h"
#include "support/process_info.h"
#include "support/profile_file.h"
#include "support/file_system.h"
#include "support/text.h"

namespace Installer {

namespace {

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
#ifdef _WIN32
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
#else
  std::ifstream in(Utils::ToNarrow(path, Utils::kCodePageAnsi), std::ios::binary);
#endif
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The file's text as the profile reader sees it: UTF-16 with its mark, or
// bytes of which only the ASCII section names matter here.
std::wstring ProfileText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
  }
  std::wstring text;
  for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return text;
}

bool HasSection(const std::wstring& text, const std::wstring& section) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Utils::Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.size() < 2 || line.front() != L'[' || line.back() != L']') continue;
    const std::wstring name = Utils::Trim(line.substr(1, line.size() - 2));
    if (name.size() == section.size() &&
        std::equal(name.begin(), name.end(), section.begin(),
                   [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); })) {
      return true;
    }
  }
  return false;
}

// Whether the whole value is one decimal integer (sign and blanks allowed).
bool IsWholeInteger(const std::wstring& value) {
  const std::wstring trimmed = Utils::Trim(value);
  std::size_t i = 0;
  if (i < trimmed.size() && (trimmed[i] == L'+' || trimmed[i] == L'-')) ++i;
  if (i == trimmed.size()) return false;
  for (; i < trimmed.size(); ++i) {
    if (trimmed[i] < L'0' || trimmed[i] > L'9') return false;
  }
  return true;
}

bool IsWholeNumber(const std::wstring& value) {
  const std::wstring trimmed = Utils::Trim(value);
  if (trimmed.empty()) return false;
  const std::string narrow = Utils::ToNarrow(trimmed, Utils::kCodePageUtf8);
  char* end = nullptr;
  std::strtod(narrow.c_str(), &end);
  return end != nullptr && end != narrow.c_str() && *end == 0;
}

std::wstring Number(double value) {
  wchar_t text[64];
  std::swprintf(text, 64, L"%g", value);
  return text;
}

}  // namespace

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
  auto problem = [&](const std::wstring& sentence) {
    settingsProblems.push_back(L"settings file " + file + L": " + sentence);
  };
  const std::optional<std::string> bytes = ReadWholeFile(file);
  if (!bytes) {
    problem(L"it cannot be read; the built-in settings are used");
    return;
  }
  if (!HasSection(ProfileText(*bytes), kSettingsSection)) {
    problem(L"it has no section [Install]; the built-in settings are used");
  }
  // A value given but unusable: said once, with what is used instead.
  auto given = [&](const wchar_t* key) { return Utils::ReadProfileValue(kSettingsSection, key, file); };
  if (auto value = given(L"DownloadType"); value && !value->empty() && !IsWholeInteger(*value)) {
    problem(L"key DownloadType: \"" + *value + L"\" is no whole number; " +
            std::to_wstring(Utils::ParseDecimalInt(*value)) + L" is used");
  }
  for (const wchar_t* key : {L"IsCheckNet", L"IsEnableAppAnalytics"}) {
    if (auto value = given(key); value && !value->empty() && *value != L"true" && *value != L"false") {
      problem(std::wstring(L"key ") + key + L": \"" + *value +
              L"\" is neither \"true\" nor \"false\"; it is read as false");
    }
  }
  if (auto value = given(L"DownloadScale"); value && !value->empty()) {
    const double scale = DownloadScaleFromText(*value);
    const std::optional<double> number = Utils::ParseDecimalDouble(*value);
    if (!IsWholeNumber(*value) || !number || *number != scale) {
      problem(L"key DownloadScale: \"" + *value + L"\" is no share between 0 and 1; " + Number(scale) +
              L" is used");
    }
  }

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
  requireDigest = text(L"RequireDigest", L"false") == L"true";
  packagePublisher = text(L"PackagePublisher", L"");
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
