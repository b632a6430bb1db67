// Without a system URL download service, libcurl in its plainest form takes
// its place: one request that follows redirects into a file, progress as a
// fraction, and failures in the service's own HRESULT forms so that the
// receiver sees the same numbers on every system.
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/installer_settings.h"
#include "download/win_downloader.h"
#include "support/curl_proxy.h"
#include "support/debug_log.h"
#include "support/text.h"

namespace {

// The service's failure codes (HRESULTs) the transfer's failures map to.
constexpr std::uint32_t kEAbort = 0x80004004u;
constexpr std::uint32_t kEFail = 0x80004005u;
constexpr std::uint32_t kEOutOfMemory = 0x8007000Eu;
constexpr std::uint32_t kInetInvalidUrl = 0x800C0002u;
constexpr std::uint32_t kInetCannotConnect = 0x800C0004u;
constexpr std::uint32_t kInetResourceNotFound = 0x800C0005u;
constexpr std::uint32_t kInetDownloadFailure = 0x800C0008u;
constexpr std::uint32_t kInetConnectionTimeout = 0x800C000Bu;
constexpr std::uint32_t kInetSecurityProblem = 0x800C000Eu;
constexpr std::uint32_t kInetInvalidCertificate = 0x800C0019u;

std::int32_t ServiceResult(CURLcode code) {
  std::uint32_t result = kInetDownloadFailure;
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT: result = kInetInvalidUrl; break;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: result = kInetResourceNotFound; break;
    case CURLE_COULDNT_CONNECT: result = kInetCannotConnect; break;
    case CURLE_OPERATION_TIMEDOUT: result = kInetConnectionTimeout; break;
    case CURLE_PEER_FAILED_VERIFICATION: result = kInetInvalidCertificate; break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE: result = kInetSecurityProblem; break;
    case CURLE_ABORTED_BY_CALLBACK: result = kEAbort; break;
    case CURLE_OUT_OF_MEMORY: result = kEOutOfMemory; break;
    case CURLE_WRITE_ERROR: result = kEFail; break;
    default: break;
  }
  return static_cast<std::int32_t>(result);
}

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(file));
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
// when it is complete, so a failed try leaves the target as it was.
std::int32_t DownloadOnce(const std::wstring& address, const std::wstring& localPath,
                          CWinDownloader::CBindCallback& bind) {
  const std::string target = Utils::ToNarrow(localPath, Utils::kCodePageAnsi);
  if (target.empty()) return static_cast<std::int32_t>(kInetDownloadFailure);
  const std::string side = target + ".part";
  CURL* handle = curl_easy_init();
  if (!handle) return static_cast<std::int32_t>(kEOutOfMemory);
  std::FILE* file = std::fopen(side.c_str(), "wb");
  if (!file) {
    curl_easy_cleanup(handle);
    return static_cast<std::int32_t>(kEFail);
  }
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
  set(curl_easy_setopt(handle, CURLOPT_WRITEDATA, file));
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
  curl_easy_cleanup(handle);
  const bool closed = std::fclose(file) == 0;
  if (result == CURLE_OK && !closed) result = CURLE_WRITE_ERROR;
  if (result != CURLE_OK) {
    DEBUG_LOG(L"error:%d:%s", static_cast<int>(result),
              Utils::ToWide(curl_easy_strerror(result), Utils::kCodePageAnsi).c_str());
    std::remove(side.c_str());
    return ServiceResult(result);
  }
  std::remove(target.c_str());
  if (std::rename(side.c_str(), target.c_str()) != 0) {
    std::remove(side.c_str());
    return static_cast<std::int32_t>(kEFail);
  }
  return 0;
}

}  // namespace

CWinDownloader::CWinDownloader(NotifyCallback callback, const std::wstring& url,
                               const std::wstring& localPath)
    // The progress hook gets its copy now: copying it in Start would race
    // with a worker that a first Start already let run.
    : bindCallback_(std::make_unique<CBindCallback>(callback)),
      callback_(std::move(callback)),
      localPath_(localPath),
      url_(url),
      worker_(nullptr, L"ABDEF", [this](void*) { WorkerBody(); }) {}

CWinDownloader::~CWinDownloader() {
  aborting_ = true;
  bindCallback_->aborting = true;
  // worker_, the last member, is joined first.
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
  std::int32_t result = static_cast<std::int32_t>(kEFail);
  for (int attempt = 0; attempt < kTries && !aborting_; ++attempt) {
    // Without libcurl's global set-up no request can work; the tries fail
    // as the service's would.
    result = Installer::TheInstallerSettings().curlReady ? DownloadOnce(address, localPath_, *bindCallback_)
                                                         : static_cast<std::int32_t>(kEFail);
    if (result == 0) {
      Notify(DL_CODE_SUCCESS, 0.0, kEngineUrlDownloadToFile);
      return;
    }
    DEBUG_LOG(L"URLDownloadToFile result=%d", static_cast<int>(result));
    std::this_thread::sleep_for(std::chrono::milliseconds(kPauseAfterFailureMs));
  }
  Notify(DL_CODE_FAIL, static_cast<double>(result), kEngineUrlDownloadToFile);
}
