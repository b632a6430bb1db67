// The downloader of download type 2: the system's URL download service.
// Windows uses URLDownloadToFileW with a bind-status callback; other systems
// use libcurl in its plainest form under the same contract: up to three
// tries a second apart, then the package is checked against the digest of
// its final address as the libcurl downloaders check it (a mismatch deletes
// it and asks once for a restart).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "download/downloader.h"
#include "support/notify_callback.h"
#include "support/thread.h"

class CWinDownloader : public CDownloader {
 public:
  static constexpr int kTries = 3;
  static constexpr unsigned kPauseAfterFailureMs = 1000;

  // Deletes no file and starts nothing.
  CWinDownloader(NotifyCallback callback, const std::wstring& url, const std::wstring& localPath);
  // Cancels a transfer in progress (the service's next progress report
  // answers "abort"), waits for the worker and notifies nothing more. Must
  // not run inside one of its own notifications.
  ~CWinDownloader() override;
  CWinDownloader(const CWinDownloader&) = delete;
  CWinDownloader& operator=(const CWinDownloader&) = delete;

  // Begins an attempt on a new worker and returns at once. The new worker
  // first waits for the previous one, so attempts never overlap, and Start
  // may be called from inside this downloader's own notification.
  void Start() override;

  // The address as the service receives it: a "file:///" address unchanged,
  // any other percent-encoded (a space becomes "+").
  static std::wstring ServiceAddress(const std::wstring& url);

  // The system's bind-status callback on Windows; the transfer's progress
  // and cancellation hook elsewhere.
  class CBindCallback;

 private:
  void WorkerBody();
  // Ends the workers for good: no Start runs another, the newest is waited for.
  void StopWorkers();
  // The transfer ended well: checks the file against the digest of
  // `finalAddress` and sends the outcome.
  void FinishVerified(const std::string& finalAddress);
#ifdef _WIN32
  // S_OK when the file the service wrote is the whole, successful answer.
  long CheckAnswer(const std::wstring& file) const;
#endif
  void Notify(std::int32_t code, double value, const wchar_t* text);

  std::unique_ptr<CBindCallback> bindCallback_;
  NotifyCallback callback_;
  std::wstring localPath_;
  std::wstring url_;
  std::atomic<bool> aborting_{false};
  bool retried_ = false;  // set by the first failed verification; never cleared
  std::mutex workerMutex_;  // guards worker_ and stopping_
  bool stopping_ = false;
  std::unique_ptr<Utils::Thread> worker_;
};
