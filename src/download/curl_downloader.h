// The default downloader: one resumable libcurl stream on a worker thread,
// retried within an attempt, then checked against the digest the final
// address carries.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "download/curl_client.h"
#include "download/downloader.h"
#include "support/thread.h"

class CCurlDownloader : public CDownloader {
 public:
  // Deletes partial files an earlier run left more than seven days ago; a
  // younger one is continued when it holds the package offered now.
  CCurlDownloader(NotifyCallback callback, std::wstring url, std::wstring localPath);
  // Stops a running transfer and waits for every worker; after that no
  // notification arrives. Must not run on one of this downloader's workers.
  ~CCurlDownloader() override;
  CCurlDownloader(const CCurlDownloader&) = delete;
  CCurlDownloader& operator=(const CCurlDownloader&) = delete;

  // Returns at once. The new attempt's worker first waits for the previous
  // worker to end, so attempts never overlap, and Start may be called from
  // inside a notification on the very worker it replaces.
  void Start() override;

  // How long a transfer may receive nothing before it counts as timed out.
  void SetStallSeconds(long seconds) { client.SetStallSeconds(seconds); }

 private:
  static void ProgressHook(void* owner, double bytesPerSecond, double percent);
  void dlThreadFun();
  void Notify(DownloadCode code, double value, const wchar_t* text);

  NotifyCallback callback;
  std::wstring localPath;
  std::wstring url;
  CurlClient client;
  std::unique_ptr<Utils::Thread> worker;
  bool retried = false;
  std::mutex workerMutex;  // guards worker and stopping
  bool stopping = false;
};
