#include "download/downloader.h"

#include "download/curl_downloader.h"
#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"
#include "support/installer_settings.h"
#include "support/text.h"

std::unique_ptr<CDownloader> CreateDownloader(std::int32_t downloadType, NotifyCallback callback,
                                              const std::wstring& url, const std::wstring& localPath) {
  switch (downloadType) {
    case 2: return std::make_unique<CWinDownloader>(std::move(callback), url, localPath);
    case 3: return std::make_unique<CMTCurlDownloader>(std::move(callback), url, localPath);
    default: return std::make_unique<CCurlDownloader>(std::move(callback), url, localPath);
  }
}

std::string DownloadProxySetting() {
  return Utils::ToNarrow(Installer::TheInstallerSettings().proxyUrl, Utils::kCodePageUtf8);
}

StallRule DownloadStallRule() {
  const Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
  return {settings.stallBytesPerSecond, settings.stallSeconds};
}
