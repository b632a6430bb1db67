// The one process-wide settings record: compiled-in constants, then the
// settings file beside the executable, then the command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Installer {

inline constexpr wchar_t kProductName[] = L"Talvorin";
inline constexpr wchar_t kProductVersion[] = L"1.7.9";
// The reserved ".invalid" domain never resolves, so a build whose settings
// file is missing fails plainly instead of downloading from a stranger.
inline constexpr wchar_t kBuiltInPackageUrl[] = L"http://download.talvorin.invalid/software/456";
inline constexpr wchar_t kSettingsFileName[] = L"ZorvanInstallerConfig.ini";
inline constexpr wchar_t kSettingsSection[] = L"Install";
inline constexpr wchar_t kRoutePlaceholder[] = L"${ROUTE}";
inline constexpr std::int32_t kProductId = 661;
inline constexpr std::int32_t kProductsWith64BitPackages[] = {267, 385, 257, 335, 318};
inline constexpr double kDefaultDownloadScale = 0.7;
inline constexpr wchar_t kDefaultOfflinePackage[] = L"Talvorin_Setup.exe";
inline constexpr long kDefaultStallBytesPerSecond = 1024;
inline constexpr long kDefaultStallSeconds = 15;
inline constexpr int kMirrorKeys = 4;  // "DownloadUrl2".."DownloadUrl5"

struct InstallerSettings {
  // Defaults, the built-in package URL; reads no file.
  InstallerSettings();

  // Takes `exeName` from `executablePath` and, when a settings file lies
  // beside it, the values of its section "Install".
  void ReadSettingsFile(const std::wstring& executablePath);

  // The only way downloadUrl is assigned: every "${ROUTE}" becomes the route
  // of this system.
  void applyDownloadUrl(const std::wstring& text);

  std::wstring abGroupCopy() const { return abGroup; }

  std::wstring productName = kProductName;
  std::wstring productVersion = kProductVersion;
  std::wstring exeName = L"NULL";
  std::wstring dlAppNameSuffix = L".downloader";
  std::wstring dlAppVersion;
  std::wstring instCmd;
  std::wstring downloadUrl;
  std::int32_t downloadType = 1;
  bool isCheckNet = false;
  bool isEnableAppAnalytics = true;
  double downloadScale = kDefaultDownloadScale;
  bool curlReady = true;
  std::wstring abGroup = L"IN";
  std::int32_t language = -1;
  bool insNew = false;
  // Unattended mode: the one-click installation without a window, its
  // progress and outcome on standard error ("-silent=true").
  bool silent = false;
  // The folder chosen for an unattended installation ("-installdir="), taken
  // as the custom page takes its edit field; empty: the default folder.
  std::wstring silentInstallDir;
  // An extra bundle of certificate authorities (a PEM file) that every HTTPS
  // request trusts besides the system's, for servers with a private CA.
  // Empty: the system's authorities only.
  std::wstring caBundle;
  // "RequireDigest": a package whose final address carries no digest is
  // refused before it runs, instead of being installed unverified.
  bool requireDigest = false;
  // "PackagePublisher": when set, the package runs only with a valid
  // Authenticode signature whose signer's common name is this value
  // (Windows; elsewhere it is ignored with a log line).
  std::wstring packagePublisher;
  // Where analytics batches are posted and where the location-and-time
  // service answers. Empty: nothing is sent, every record stays staged.
  std::wstring analyticsServerUrl;
  std::wstring locationServiceUrl;
  // What could not be used of the settings file (a file that cannot be read,
  // no section "Install", a value that cannot be converted), one sentence
  // each naming the file and the key, with the value taken instead. The
  // entry logs them and unattended mode prints them.
  std::vector<std::wstring> settingsProblems;
  // The proxy of every request ("ProxyUrl", "-proxyurl"): a proxy address,
  // "direct" for none, or empty for the system's proxy configuration.
  std::wstring proxyUrl;
  // Addresses tried in order when every attempt on the one before failed
  // ("DownloadUrl2".."DownloadUrl5", each through route substitution).
  std::vector<std::wstring> mirrorUrls;
  // A package the user already has: "-package=<file>", else the file named
  // by "OfflinePackage" beside the installer when it exists.
  std::wstring packageFile;
  std::wstring offlinePackage = kDefaultOfflinePackage;
  // Digests an offline package is checked against ("PackageMd5",
  // "PackageSha256"); empty: the final address's digest, when reachable.
  std::wstring packageMd5;
  std::wstring packageSha256;
  // A download slower than this many bytes per second for this many seconds
  // has stalled ("StallBytesPerSecond", "StallSeconds"; values below 1 keep
  // the defaults).
  long stallBytesPerSecond = kDefaultStallBytesPerSecond;
  long stallSeconds = kDefaultStallSeconds;
};

// The record of this process, built from the constants and the settings file
// during static initialisation.
InstallerSettings& TheInstallerSettings();

// The route name for a system: "download_silent_xp" on any version whose
// name contains "XP", "download_silent_64" for products with 64-bit packages
// on 64-bit systems, otherwise "download_silent".
std::wstring ChooseRoute(const std::wstring& osVersionName, bool os64Bit, std::int32_t productId);

// `text` with every "${ROUTE}" replaced by the route of this system.
std::wstring RoutedUrl(const std::wstring& text);

// Every "${ROUTE}" of `text` replaced by `route`.
std::wstring SubstituteRoute(const std::wstring& text, const std::wstring& route);

// A download-scale text as the settings file and the command line give it:
// 0.0 when no number starts it; 0.7 when the number is not finite or lies
// outside 0..1, since the progress bar could not use it.
double DownloadScaleFromText(const std::wstring& text);

}  // namespace Installer
