// The downloader of download type 3: the package as at most two byte ranges
// fetched in parallel with libcurl, each into a part file beside the target,
// then joined, checked against the digest in the final address and moved onto
// the target. Part files outlive the downloader and the process: the first
// attempt continues them when their record (download/partial_download.h)
// names the package offered now, and deletes them otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "download/downloader.h"
#include "support/notify_callback.h"
#include "support/thread.h"

class CMTCurlDownloader : public CDownloader {
 public:
  // Outcome codes of its own, beside libcurl's results (positive).
  static constexpr std::int32_t kPartFileUnavailable = -2;  // a part file cannot be opened
  static constexpr std::int32_t kJoinFailed = -3;  // the parts could not be joined into the whole package

  // Deletes part files an earlier run left more than seven days ago; starts
  // no transfer. The target itself is left alone until a verified package
  // replaces it.
  CMTCurlDownloader(NotifyCallback callback, const std::wstring& url, const std::wstring& localPath);
  // Stops a running attempt (its transfers end within about a second) and
  // waits for every thread of this downloader; no notification follows. The
  // part files stay for a later run. Must not run inside one of its own
  // notifications.
  ~CMTCurlDownloader() override;
  CMTCurlDownloader(const CMTCurlDownloader&) = delete;
  CMTCurlDownloader& operator=(const CMTCurlDownloader&) = delete;

  // Begins an attempt on a fresh worker. From any other thread it first waits
  // for the previous attempt to end; from inside this downloader's outcome
  // notification it starts the next attempt without waiting for itself. From
  // inside a notification that precedes the outcome it does nothing: that
  // attempt is still running and reports its own outcome.
  void Start() override;

  // How long a range may receive nothing before its try counts as timed
  // out (5 seconds unless changed). Takes effect from the next Start.
  void SetStallSeconds(long seconds);

  // The part file of range `index` for a target: the ANSI form of the target,
  // "_" and the index.
  static std::string PartPath(const std::wstring& localPath, int index);

  // The shared state lives as long as any thread of the downloader still
  // runs, so the threads never reach into a destroyed object.
  struct State;

 private:
  std::shared_ptr<State> state_;
  std::unique_ptr<Utils::Thread> worker_;
  // A worker that called Start on its own thread: it cannot be joined there,
  // so it is joined by the next Start from elsewhere or by the destructor.
  std::unique_ptr<Utils::Thread> retiredWorker_;
  std::mutex workersMutex_;  // guards worker_, retiredWorker_ and stopping_
  bool stopping_ = false;
};
