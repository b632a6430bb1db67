#include "download/curl_downloader.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "support/installer_settings.h"
#include "download/package_digest.h"
#include "download/partial_download.h"
#include "support/debug_log.h"
#include "support/digest.h"
#include "support/text.h"

namespace {

constexpr int kAttemptBudget = 12;
constexpr auto kPauseBetweenTries = std::chrono::milliseconds(500);

}  // namespace

CCurlDownloader::CCurlDownloader(NotifyCallback callback_, std::wstring url_, std::wstring localPath_)
    : callback(std::move(callback_)),
      localPath(std::move(localPath_)),
      url(std::move(url_)),
      client(url, localPath, this, &CCurlDownloader::ProgressHook) {
  // What an earlier run received stays for this one unless it is too old to
  // be worth keeping; whether it is this package is known only once the
  // server has answered.
  if (!localPath.empty()) DeleteStalePartials(Utils::ToNarrow(localPath, Utils::kCodePageAnsi));
}

CCurlDownloader::~CCurlDownloader() {
  client.RequestAbort();
  std::unique_ptr<Utils::Thread> last;
  {
    std::lock_guard<std::mutex> lock(workerMutex);
    stopping = true;
    last = std::move(worker);
  }
  // Each worker waits for its predecessor, so waiting for the newest one
  // waits for them all.
  last.reset();
  // What a later run can go on from stays; the rest goes.
  if (!localPath.empty()) DropUnresumablePartials(Utils::ToNarrow(localPath, Utils::kCodePageAnsi));
}

void CCurlDownloader::Start() {
  std::lock_guard<std::mutex> lock(workerMutex);
  // A worker answering its last notification while the owner goes away must
  // not start one that nobody would wait for.
  if (stopping) return;
  // The previous worker is not waited for here: Start may be running on that
  // very worker (answering its RETRY), and a caller on another thread should
  // not block either. The new worker waits for it instead, before its first
  // notification, and releases it.
  std::shared_ptr<Utils::Thread> previous(std::move(worker));
  worker = std::make_unique<Utils::Thread>(this, L"ABDEF", [this, previous](void*) mutable {
    if (previous) {
      previous->Join();
      previous.reset();
    }
    dlThreadFun();
  });
  if (worker->IsCreated()) worker->Resume();
}

void CCurlDownloader::Notify(DownloadCode code, double value, const wchar_t* text) {
  callback(code, value, text);
}

void CCurlDownloader::ProgressHook(void* owner, double bytesPerSecond, double percent) {
  if (bytesPerSecond > 0 && percent <= 100.0)
    static_cast<CCurlDownloader*>(owner)->Notify(DL_CODE_PROGRESS, percent / 100.0, L"");
}

void CCurlDownloader::dlThreadFun() {
  Notify(DL_CODE_START, 1.0, L"");
  if (localPath.empty()) {
    // Carrying on would download into ".part" in whatever folder is current
    // and then fail to rename it onto an empty name: the outcome is known.
    Notify(DL_CODE_FAIL, 1.0, L"");
    return;
  }

  int result = client.Start();
  int budget = kAttemptBudget;
  while (result != 0) {
    // The owner is going away: nobody waits for the outcome any more.
    if (client.AbortRequested()) return;
    budget -= result == CURLE_PARTIAL_FILE ? 1 : 2;
    if (budget < 1) {
      DropUnresumablePartials(Utils::ToNarrow(localPath, Utils::kCodePageAnsi));
      Notify(DL_CODE_FAIL, static_cast<double>(result),
             FailureNotificationText(kEngineLibCurl, client.LastFailure()).c_str());
      return;
    }
    DEBUG_LOG(L"CurlDownLoader Code=%d", result);
    std::this_thread::sleep_for(kPauseBetweenTries);
    result = client.Start();
  }

  // Normally hashed while it arrived; read back only when that was impossible.
  const std::string target = Utils::ToNarrow(localPath, Utils::kCodePageAnsi);
  const DigestVerdict verdict = VerifyPackageDigest(ExpectedDigestOf(client.RealUrl()), client.BodyDigest(), target);
  const DigestOutcome outcome =
      DecideAfterVerification(verdict, Installer::TheInstallerSettings().requireDigest, retried, L"curl");
  if (!outcome.notice.empty()) Notify(DL_CODE_ERROR, 0.0, outcome.notice.c_str());
  // A package that failed its check must not stay where it could be run.
  if (outcome.deletePackage) std::remove(target.c_str());
  if (outcome.code != DL_CODE_FAIL)
    Notify(static_cast<DownloadCode>(outcome.code), 0.0, kEngineLibCurl);
  else
    Notify(static_cast<DownloadCode>(outcome.code), 0.0,
           FailureNotificationText(kEngineLibCurl, outcome.failure).c_str());
}
