#include "install/download_installer.h"

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include "support/installer_settings.h"
#include "download/download_failure.h"
#include "download/package_source.h"
#include "install/file_operations.h"
#include "install/install_folder.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"

namespace {

std::mutex lastPackageMutex;
std::wstring& LastPackage() {
  static std::wstring path;
  return path;
}

}  // namespace

std::wstring LastPackagePath() {
  std::lock_guard<std::mutex> lock(lastPackageMutex);
  return LastPackage();
}

CDownloadInstaller::CDownloadInstaller(NotifyCallback windowCallback_)
    : windowCallback(std::move(windowCallback_)) {}

CDownloadInstaller::~CDownloadInstaller() {
  CancelWait();
  {
    std::lock_guard<std::mutex> lock(reactionMutex_);
    closing_ = true;
  }
  // The remover's success starts the downloader and the download's success
  // starts the runner: each is released only after the one that may call it.
  remover.reset();
  downloader.reset();
  runner.reset();
}

void CDownloadInstaller::Configure(const std::wstring& downloadUrl_, const std::wstring&,
                                   const std::wstring& previousUninstaller_,
                                   const std::wstring& installDir_, bool desktopShortcut_,
                                   bool quickStartShortcut_, bool adminAct_,
                                   bool authorizationAct_, const std::wstring& languageTag_) {
  downloadUrl = downloadUrl_;
  previousUninstaller = previousUninstaller_;
  installDir = installDir_;
  desktopShortcut = desktopShortcut_;
  quickStartShortcut = quickStartShortcut_;
  adminAct = adminAct_;
  authorizationAct = authorizationAct_;
  languageTag = languageTag_;
}

void CDownloadInstaller::CancelWait() {
  cancelWait_ = true;
  if (waiter_) {
    waiter_->Join();
    waiter_.reset();
  }
  cancelWait_ = false;
}

bool CDownloadInstaller::HoldWait() {
  std::lock_guard<std::mutex> lock(waitDecision_);
  if (!waiting_) return false;
  holdWait_ = true;
  return true;
}

void CDownloadInstaller::ReleaseWait() {
  std::lock_guard<std::mutex> lock(waitDecision_);
  holdWait_ = false;
}

bool CDownloadInstaller::Start() {
  if (!Installer::IsValidInstallFolder(installDir)) {
    DEBUG_LOG(L"invalid installation folder: %s", installDir.c_str());
    return false;
  }
  const Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
  packagePath = installDir + Utils::kPathSeparator + L"__Package_" + settings.productName + L".exe";
  DEBUG_LOG(L"DL_TYPE=%d\r\n", settings.downloadType);

  // Workers made for another folder would download into it and run the
  // package from there: a start into a new folder gets new ones.
  if (workersPackagePath_ != packagePath) {
    downloader.reset();
    runner.reset();
  }
  workersPackagePath_ = packagePath;
  auto forward = [this](std::int32_t code, double value, const wchar_t* text) {
    Handle(code, value, text);
  };
  if (!downloader) downloader = CreatePackageSource(settings, forward, downloadUrl, packagePath);
  if (!runner) {
    runner = std::make_unique<CInstaller>(forward, L"\"" + packagePath + L"\"", installDir,
                                          desktopShortcut, quickStartShortcut, adminAct);
  }
  runner->Configure(installDir, desktopShortcut, quickStartShortcut, adminAct, authorizationAct,
                    languageTag);

  if (previousUninstaller.empty() || !Utils::FileExists(previousUninstaller)) {
    downloader->Start();
    return true;
  }
  const std::wstring cache = Utils::GetCacheFolder();
  const std::wstring copyPath = cache.empty() ? std::wstring() : cache + settings.productName + L"_un_asa.exe";
  const std::wstring oldFolder = Installer::ParentFolder(previousUninstaller);
  // A copy that failed must not leave an older copy to be run in its place:
  // the remover then reports the uninstaller missing.
  const bool copied = !copyPath.empty() && Installer::CopyFileReplacing(previousUninstaller, copyPath);
  if (copied) {
    Installer::MakeExecutable(copyPath);
  } else {
    DEBUG_LOG(L"the uninstaller could not be copied to %s", copyPath.c_str());
  }
  CancelWait();
  remover.reset();
  remover = std::make_unique<UnInstaller>(forward, copied ? copyPath : std::wstring(), oldFolder);

  if (settings.insNew && Utils::FindProcessId(kProductExecutableName) != 0) {
    waiting_ = true;
    holdWait_ = false;
    waiter_ = std::make_unique<Utils::Thread>(this, L"InsNewWait", [this](void*) {
      while (!cancelWait_) {
        {
          std::lock_guard<std::mutex> lock(waitDecision_);
          if (!holdWait_ && Utils::FindProcessId(kProductExecutableName) == 0) {
            waiting_ = false;
            break;
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      if (cancelWait_) {
        waiting_ = false;
        DEBUG_LOG(L"the wait for the product was cancelled");
        return;
      }
      remover->Run();
    });
    if (waiter_->IsCreated()) {
      waiter_->Resume();
    } else {
      waiting_ = false;
    }
    return true;
  }
  remover->Run();
  return true;
}

void CDownloadInstaller::DeletePackageFiles() {
  Installer::DeleteFileQuietly(packagePath);
  std::lock_guard<std::mutex> lock(lastPackageMutex);
  if (!LastPackage().empty()) Installer::DeleteFileQuietly(LastPackage());
  LastPackage() = packagePath;
}

void CDownloadInstaller::Handle(std::int32_t code, double value, const wchar_t* text) {
  windowCallback(code, value, text);
  switch (code) {
    case DL_CODE_START:
      DEBUG_LOG(L"DL_CODE_START\r\n");
      Utils::CreateDirectories(installDir);
      break;
    case DL_CODE_PROGRESS:
      DEBUG_LOG(L"DL_CODE_PROGRESS\r\n");
      break;
    case DL_CODE_SUCCESS: {
      DEBUG_LOG(L"DOWNLOAD_SUCCESS\r\n");
      std::lock_guard<std::mutex> lock(reactionMutex_);
      if (!closing_) runner->Run();
      DEBUG_LOG(L"DL_CODE_SUCCESS\r\n");
      break;
    }
    case DL_CODE_FAIL:
      DEBUG_LOG(L"DL_CODE_FAIL\r\n");
      DEBUG_LOG(L"download failure: %s", FailureSummary(ParseFailureNotificationText(text)).c_str());
      DeletePackageFiles();
      break;
    case DL_CODE_RETRY: {
      DEBUG_LOG(L"DL_CODE_RETRY\r\n");
      std::lock_guard<std::mutex> lock(reactionMutex_);
      if (!closing_) downloader->Start();
      break;
    }
    case IST_CODE_START:
      DEBUG_LOG(L"IST_CODE_START\r\n");
      break;
    case IST_CODE_SUCCESS:
      DEBUG_LOG(L"INSTALL_SUCCESS\r\n");
      DeletePackageFiles();
      break;
    case IST_CODE_FAIL:
      DEBUG_LOG(L"IST_CODE_FAIL\r\n");
      DeletePackageFiles();
      break;
    case UNIST_CODE_START:
      DEBUG_LOG(L"UNIST_CODE_START\r\n");
      break;
    case UNIST_CODE_PROGRESS:
      DEBUG_LOG(L"UNIST_CODE_PROGRESS\r\n");
      break;
    case UNIST_CODE_SUCCESS:
    {
      DEBUG_LOG(L"UNIST_CODE_SUCCESS\r\n");
      std::lock_guard<std::mutex> lock(reactionMutex_);
      if (!closing_ && runner) downloader->Start();
      break;
    }
    case UNIST_CODE_FAIL:
      DEBUG_LOG(L"UNIST_CODE_FAIL\r\n");
      break;
    case UNIST_CODE_ERROR:
      DEBUG_LOG(L"UNIST_CODE_ERROR\r\n");
      break;
    default:
      break;
  }
  (void)value;
}
