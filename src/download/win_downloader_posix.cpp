// Without a system URL download service, libcurl in its plainest form takes
// its place: one request that follows redirects into a file, progress as a
// fraction, and failures as libcurl's own results with their class.
// Implements: the transfer and its progress hook, the tries, the worker body.
#include <curl/curl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "support/installer_settings.h"
#include "download/download_failure.h"
#include "download/win_downloader.h"
#include "support/curl_proxy.h"
#include "support/debug_log.h"
#include "support/text.h"

namespace {

struct Sink {
  std::FILE* file = nullptr;
  int writeErrno = 0;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* sinkData) {
  auto* sink = static_cast<Sink*>(sinkData);
  errno = 0;
  const size_t written = std::fwrite(data, size, count, sink->file);
  if (written < count) sink->writeErrno = errno != 0 ? errno : EIO;
  return written;
}

// libcurl 7.x follows redirects without limit by default.
constexpr long kMaxRedirects = 30;
// The service gives up on a server that does not answer the connection.
constexpr long kSilenceLimitSeconds = 60;

}  // namespace

// Progress and cancellation of the transfer, in the callback's place.
class CWinDownloader::CBindCallback {
 public:
  explicit CBindCallback(NotifyCallback notify) : callback(std::move(notify)) {}
  ~CBindCallback() { aborting = true; }
  CBindCallback(const CBindCallback&) = delete;
  CBindCallback& operator=(const CBindCallback&) = delete;

  static int OnProgress(void* self, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto* bind = static_cast<CBindCallback*>(self);
    if (bind->aborting) return 1;
    if (total <= 0 || now <= 0) return 0;
    double fraction = static_cast<double>(now) / static_cast<double>(total);
    if (fraction > 1.0) fraction = 1.0;
    // libcurl calls back for every chunk; a report per whole percent (and the
    // last one) says as much without flooding the receiver.
    if (fraction - bind->lastReported < 0.01 && !(fraction >= 1.0 && bind->lastReported < 1.0)) return 0;
    bind->lastReported = fraction;
    if (bind->callback) bind->callback(DL_CODE_PROGRESS, fraction, L"");
    return 0;
  }

  NotifyCallback callback;
  std::atomic<bool> aborting{false};
  double lastReported = 0.0;  // of the current try
};

namespace {

// One try: the whole body into a side file, which replaces the target only
// when it is complete, so a failed try leaves the target as it was. The
// result is libcurl's; `finalAddress` is where the redirects led.
std::int32_t DownloadOnce(const std::wstring& address, const std::wstring& localPath,
                          CWinDownloader::CBindCallback& bind, std::string& finalAddress,
                          DownloadFailure& failure) {
  const std::string target = Utils::ToNarrow(localPath, Utils::kCodePageAnsi);
  const std::string side = target + ".part";
  CURL* handle = curl_easy_init();
  if (!handle) return CURLE_FAILED_INIT;
  std::FILE* file = std::fopen(side.c_str(), "wb");
  if (!file) {
    failure = ClassifyFileError(errno, localPath);
    curl_easy_cleanup(handle);
    return CURLE_WRITE_ERROR;
  }
  Sink sink{file, 0};
  bind.lastReported = 0.0;
  const std::string url = Utils::StartsWith(address, L"file:///")
                              ? Utils::ToNarrow(address, Utils::kCodePageAnsi)
                              : Utils::ToNarrow(address, Utils::kCodePageUtf8);
  const std::wstring& bundle = Installer::TheInstallerSettings().caBundle;
  const std::string caFile = Utils::ToNarrow(bundle, Utils::kCodePageAnsi);

  CURLcode result = CURLE_OK;
  auto set = [&](CURLcode optionResult) {
    if (result == CURLE_OK) result = optionResult;
  };
  set(curl_easy_setopt(handle, CURLOPT_URL, url.c_str()));
  set(curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L));
  set(curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L));
  set(curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects));
  set(curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L));
  set(curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteToFile));
  set(curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink));
  set(curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L));
  set(curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CWinDownloader::CBindCallback::OnProgress));
  set(curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &bind));
  set(curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kSilenceLimitSeconds));
  const StallRule stall = DownloadStallRule();
  set(curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, stall.bytesPerSecond));
  set(curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stall.seconds));
  if (!caFile.empty()) set(curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.c_str()));
  set(Utils::ApplyProxy(handle, url, DownloadProxySetting()));
  if (result == CURLE_OK) result = curl_easy_perform(handle);
  long status = 0;
  long connectStatus = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
  char* effective = nullptr;
  finalAddress = curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective
                     ? effective
                     : url;
  curl_easy_cleanup(handle);
  errno = 0;
  const bool closed = std::fclose(file) == 0;
  if (result == CURLE_OK && !closed) {
    sink.writeErrno = errno != 0 ? errno : EIO;
    result = CURLE_WRITE_ERROR;
  }
  if (result != CURLE_OK) {
    DEBUG_LOG(L"error:%d:%s", static_cast<int>(result),
              Utils::ToWide(curl_easy_strerror(result), Utils::kCodePageAnsi).c_str());
    std::remove(side.c_str());
    failure = ClassifyCurlResult(result, connectStatus == 407 ? 407 : status, finalAddress, localPath,
                                 sink.writeErrno);
    return result;
  }
  std::remove(target.c_str());
  if (std::rename(side.c_str(), target.c_str()) != 0) {
    failure = ClassifyFileError(errno, localPath);
    std::remove(side.c_str());
    return CURLE_WRITE_ERROR;
  }
  return 0;
}

}  // namespace

CWinDownloader::CWinDownloader(NotifyCallback callback, const std::wstring& url,
                               const std::wstring& localPath)
    : bindCallback_(std::make_unique<CBindCallback>(callback)),
      callback_(std::move(callback)),
      localPath_(localPath),
      url_(url) {}

CWinDownloader::~CWinDownloader() {
  aborting_ = true;
  bindCallback_->aborting = true;
  StopWorkers();
}

void CWinDownloader::WorkerBody() {
  Notify(DL_CODE_START, 1.0, L"");
  if (localPath_.empty()) {
    // There is nowhere to put the file; three tries would only repeat this
    // failure.
    Notify(DL_CODE_FAIL, 1.0, L"");
    return;
  }
  const std::wstring address = ServiceAddress(url_);
  std::int32_t result = CURLE_FAILED_INIT;
  DownloadFailure failure;
  std::string finalAddress;
  for (int attempt = 0; attempt < kTries && !aborting_; ++attempt) {
    failure = DownloadFailure{};
    // Without libcurl's global set-up no request can work.
    result = Installer::TheInstallerSettings().curlReady
                 ? DownloadOnce(address, localPath_, *bindCallback_, finalAddress, failure)
                 : static_cast<std::int32_t>(CURLE_FAILED_INIT);
    if (result == 0) {
      FinishVerified(finalAddress);
      return;
    }
    DEBUG_LOG(L"URLDownloadToFile result=%d (%s)", static_cast<int>(result), FailureSummary(failure).c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(kPauseAfterFailureMs));
  }
  Notify(DL_CODE_FAIL, static_cast<double>(result),
         FailureNotificationText(kEngineUrlDownloadToFile, failure).c_str());
}
