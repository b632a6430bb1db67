// Where the package comes from: a package the user already has (chosen with
// "-package=", or found beside the installer under the "OfflinePackage"
// name), else the package address followed by its mirrors, each with the
// downloader of the configured type.
#pragma once

#include <memory>
#include <string>

#include "support/installer_settings.h"
#include "download/downloader.h"

// The offline package to use, "" for none: `-package=` when given, else the
// "OfflinePackage" file in `installerFolder` when it exists and is not the
// installer itself (`installerPath`).
std::wstring OfflinePackageFile(const Installer::InstallerSettings& settings, const std::wstring& installerPath);

std::unique_ptr<CDownloader> CreatePackageSource(const Installer::InstallerSettings& settings,
                                                 NotifyCallback callback, const std::wstring& url,
                                                 const std::wstring& localPath);
