// One HTTP(S) download into a local file with libcurl's easy interface: the
// final address and length are learned first, the body goes into
// "<target>.part" and is renamed onto the target only after a transfer that
// ended without error. The side file outlives the client and the process:
// the first Start of a client continues it when its record
// (download/partial_download.h) shows it holds the package offered now, and
// deletes it otherwise; later Starts of the same client continue it as is.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "download/download_failure.h"
#include "download/downloader.h"
#include "download/partial_download.h"

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasyHandle = std::unique_ptr<CURL, CurlEasyDeleter>;

// A header of the last answer `handle` received (after redirects), as sent;
// empty when absent. Also valid inside the transfer's callbacks.
std::string LastAnswerHeader(CURL* handle, const char* name);

class CurlClient {
 public:
  // Called with (owner, average speed in bytes per second, percentage done).
  using ProgressHook = void (*)(void* owner, double bytesPerSecond, double percent);

  // Results of Start besides 0 (success) and libcurl's own positive codes.
  static constexpr int kRenameFailed = -995;        // the finished side file could not become the target
  static constexpr int kSideFileUnopenable = -996;  // ErrorText() says why
  static constexpr int kNoEasyHandle = -997;
  static constexpr int kNoLength = -998;            // no final address, or under 1 MiB; nothing transferred

  static constexpr double kMinimumLength = 1048576.0;
  // A transfer that receives nothing for this long ends with libcurl's
  // time-out result instead of waiting for ever.
  static constexpr long kDefaultStallSeconds = 15;

  CurlClient(std::wstring url, std::wstring localPath, void* owner, ProgressHook hook);
  // Stops a transfer running on another thread at its next progress callback.
  // The side file stays for a later run.
  ~CurlClient();
  CurlClient(const CurlClient&) = delete;
  CurlClient& operator=(const CurlClient&) = delete;

  // One complete attempt on the calling thread; blocks until it ends.
  int Start();

  // Header-only request that follows redirects; the handle keeps the
  // effective address and the response data. Null when no handle could be made.
  CurlEasyHandle Head(const std::string& address);
  // The content length recorded in `handle` when its status was 200..399, else -1.0.
  double GetDownloadFileLength(CURL* handle);
  // The final address of `address` after redirects, or `address` itself.
  std::string GetRealUrl_Str(const std::string& address);
  // The content length a header-only request to `address` (redirects not
  // followed) reports, whatever its status; -1.0 when none.
  double GetDownloadFileLength_Str(const std::string& address);

  // The side file's path when `sideFile`, else the target's.
  std::wstring GetFilePath(bool sideFile) const;

  // Makes the running transfer (if any) and every later one stop at once.
  void RequestAbort() { abortRequested.store(true); }
  bool AbortRequested() const {
    return abortRequested.load() || (externalAbort != nullptr && externalAbort->load());
  }
  // A flag of the owner that stops transfers as RequestAbort does; it must
  // outlive this client.
  void SetAbortFlag(const std::atomic<bool>* flag) { externalAbort = flag; }
  void SetStallSeconds(long seconds) { stallSeconds = seconds; }

  const std::string& RealUrl() const { return realUrl; }
  double FileLength() const { return fileLength; }
  std::int64_t ResumeOffset() const { return resumeOffset; }
  const std::wstring& ErrorText() const { return errorText; }
  // After a successful Start whose final address carries a digest: that
  // digest (MD5 or SHA-256) of the whole target, computed while it arrived.
  // Empty otherwise.
  const std::string& BodyDigest() const { return bodyMd5; }
  // Why the last Start failed.
  const DownloadFailure& LastFailure() const { return lastFailure; }

 private:
  static int ProgressCallback(void* client, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t);
  static int HeaderAbortCallback(void* client, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  // Options every request of this client carries: the CA bundle of the
  // settings, the redirect bound, the stall bound and the abort check.
  CURLcode SetCommonOptions(CURL* handle, const std::string& address);
  CurlEasyHandle HeaderRequest(const std::string& address, bool followRedirects, bool includeHeader,
                               CURLcode& optionResult);
  void ReportBadLengthStatus(long status);
  // Once per client, before the first byte: continues the side file an
  // earlier run left when its record names the package offered now,
  // otherwise deletes it; then records the package offered now.
  void SettlePartial(const std::string& target);
  // What the side file is known to hold no longer holds: the next Start
  // asks the server again and starts the package afresh.
  void ForgetPartial(const std::string& target);
  // Narrow form of an address as libcurl gets it.
  static std::string NarrowAddress(const std::wstring& address);

  std::wstring url;
  std::wstring localPath;
  void* owner;
  CURL* handle = nullptr;
  ProgressHook progressHook;
  double fileLength = -1.0;
  std::int64_t resumeOffset = -1;
  std::int64_t lastProgressTime = 0;
  std::atomic<bool> abortRequested{false};
  std::wstring errorText;
  std::string realUrl;
  std::string bodyMd5;
  long stallSeconds = DownloadStallRule().seconds;
  const std::atomic<bool>* externalAbort = nullptr;
  DownloadFailure lastFailure;
  // The validators of the last header request's answer.
  std::string offeredEtag;
  std::string offeredLastModified;
  bool partialSettled = false;
  PartialIdentity partial;  // what the side file holds, once settled
  // What the last header request met, for a failure to learn the length.
  int headerResult = 0;
  long headerStatus = 0;
};
