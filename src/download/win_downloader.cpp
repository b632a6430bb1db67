#include "download/win_downloader.h"

#include <cstdio>

#include "support/installer_settings.h"
#include "download/package_digest.h"
#include "support/debug_log.h"
#include "support/text.h"

// The address as the service takes it: local files as they are, every other
// address percent-encoded.
std::wstring CWinDownloader::ServiceAddress(const std::wstring& url) {
  if (Utils::StartsWith(url, L"file:///")) return url;
  return Utils::UrlEncode(url);
}

void CWinDownloader::Start() {
  std::lock_guard<std::mutex> lock(workerMutex_);
  if (stopping_) return;
  // The previous worker is not waited for here: Start may run on it (its
  // RETRY being answered). The new worker waits for it instead.
  std::shared_ptr<Utils::Thread> previous(std::move(worker_));
  worker_ = std::make_unique<Utils::Thread>(nullptr, L"ABDEF", [this, previous](void*) mutable {
    if (previous) {
      previous->Join();
      previous.reset();
    }
    WorkerBody();
  });
  if (worker_->IsCreated()) worker_->Resume();
}

void CWinDownloader::StopWorkers() {
  std::unique_ptr<Utils::Thread> last;
  {
    std::lock_guard<std::mutex> lock(workerMutex_);
    stopping_ = true;
    last = std::move(worker_);
  }
  // Each worker waits for its predecessor: waiting for the newest waits for all.
  last.reset();
}

void CWinDownloader::FinishVerified(const std::string& finalAddress) {
  const std::string target = Utils::ToNarrow(localPath_, Utils::kCodePageAnsi);
  const DigestVerdict verdict = VerifyPackageDigest(ExpectedDigestOf(finalAddress), std::string(), target);
  const DigestOutcome outcome =
      DecideAfterVerification(verdict, Installer::TheInstallerSettings().requireDigest, retried_, L"win");
  if (!outcome.notice.empty()) Notify(DL_CODE_ERROR, 0.0, outcome.notice.c_str());
  if (outcome.deletePackage) std::remove(target.c_str());
  if (outcome.code == DL_CODE_FAIL)
    Notify(DL_CODE_FAIL, 0.0, FailureNotificationText(kEngineUrlDownloadToFile, outcome.failure).c_str());
  else
    Notify(outcome.code, 0.0, kEngineUrlDownloadToFile);
}

void CWinDownloader::Notify(std::int32_t code, double value, const wchar_t* text) {
  if (aborting_ || !callback_) return;
  callback_(code, value, text);
}
