#include "download/package_source.h"

#include <algorithm>
#include <cwctype>
#include <utility>
#include <vector>

#include "download/mirror_downloader.h"
#include "download/offline_package.h"
#include "download/publisher_check.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/text.h"

namespace {

std::string LowerNarrow(const std::wstring& text) {
  std::string narrow = Utils::ToNarrow(Utils::Trim(text), Utils::kCodePageUtf8);
  std::transform(narrow.begin(), narrow.end(), narrow.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return narrow;
}

std::wstring FolderOf(const std::wstring& path) {
  for (std::size_t i = path.size(); i-- > 0;)
    if (Utils::IsPathSeparator(path[i])) return path.substr(0, i + 1);
  return {};
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
#ifdef _WIN32
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
#else
  return a == b;
#endif
}

}  // namespace

std::wstring OfflinePackageFile(const Installer::InstallerSettings& settings, const std::wstring& installerPath) {
  if (!settings.packageFile.empty()) return settings.packageFile;
  if (settings.offlinePackage.empty() || installerPath.empty()) return {};
  const std::wstring beside = FolderOf(installerPath) + settings.offlinePackage;
  // An installer that carries the package's own name must not install itself.
  if (SamePath(beside, installerPath) || !Utils::FileExists(beside)) return {};
  return beside;
}

namespace {

std::unique_ptr<CDownloader> CreateUncheckedSource(const Installer::InstallerSettings& settings,
                                                   NotifyCallback callback, const std::wstring& url,
                                                   const std::wstring& localPath) {
  std::unique_ptr<CDownloader> network;
  if (settings.mirrorUrls.empty()) {
    network = CreateDownloader(settings.downloadType, callback, url, localPath);
  } else {
    std::vector<std::wstring> urls{url};
    urls.insert(urls.end(), settings.mirrorUrls.begin(), settings.mirrorUrls.end());
    network = std::make_unique<CMirrorDownloader>(settings.downloadType, callback, std::move(urls), localPath);
  }
  const std::wstring offline = OfflinePackageFile(settings, Utils::GetExecutablePath());
  if (offline.empty()) return network;
  OfflinePackageSource source;
  source.file = offline;
  source.chosenByUser = !settings.packageFile.empty();
  source.md5 = LowerNarrow(settings.packageMd5);
  source.sha256 = LowerNarrow(settings.packageSha256);
  source.entryUrl = url;
  DEBUG_LOG(L"offline package %s (%s)", offline.c_str(), source.chosenByUser ? L"chosen" : L"found beside the installer");
  return std::make_unique<COfflinePackage>(std::move(callback), std::move(source), localPath,
                                           source.chosenByUser ? nullptr : std::move(network));
}

}  // namespace

std::unique_ptr<CDownloader> CreatePackageSource(const Installer::InstallerSettings& settings,
                                                 NotifyCallback callback, const std::wstring& url,
                                                 const std::wstring& localPath) {
  if (Utils::Trim(settings.packagePublisher).empty())
    return CreateUncheckedSource(settings, std::move(callback), url, localPath);
  return std::make_unique<CPublisherCheck>(
      std::move(callback), settings.packagePublisher, localPath,
      [&](NotifyCallback checked) { return CreateUncheckedSource(settings, std::move(checked), url, localPath); });
}
