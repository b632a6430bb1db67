// The contract the three package downloaders share, and the choice among them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/notify_callback.h"

// Notification codes of a download attempt. Within one attempt: START first,
// any number of PROGRESS, at most one ERROR, then exactly one of SUCCESS,
// RETRY or FAIL.
enum DownloadCode : std::int32_t {
  DL_CODE_START = 1001,     // value 1.0
  DL_CODE_PROGRESS = 1002,  // value: fraction done, above 0 and at most 1
  DL_CODE_SUCCESS = 1003,   // value 0.0, text: the engine name
  DL_CODE_FAIL = 1004,      // value: the last error code, text: the engine name (or "")
  DL_CODE_RETRY = 1005,     // value: the last error code (0.0 after a digest mismatch), text "LibCurl"
  DL_CODE_ERROR = 1006,     // value 0.0, text: what is wrong with the digest
};

inline constexpr wchar_t kEngineLibCurl[] = L"LibCurl";
inline constexpr wchar_t kEngineUrlDownloadToFile[] = L"URLDownloadToFile";

class CDownloader {
 public:
  // Starts (or starts again) a download on a worker thread and returns at
  // once. Allowed from inside one of this downloader's own notifications.
  virtual void Start() = 0;
  // Virtual, so that the orchestrator may own any downloader through this
  // class.
  virtual ~CDownloader() = default;
};

// One rule for every downloader: a transfer slower than `bytesPerSecond`
// for `seconds` in a row has stalled, and the downloader's retry takes over.
struct StallRule {
  long bytesPerSecond = 1024;
  long seconds = 15;
};
// The rule of the settings "StallBytesPerSecond" and "StallSeconds".
StallRule DownloadStallRule();

// The "ProxyUrl" setting as every download request hands it to
// Utils::ApplyProxy (UTF-8).
std::string DownloadProxySetting();

// The downloader for a download type: 2 the system's URL download service,
// 3 parallel ranges, anything else one resumable stream.
std::unique_ptr<CDownloader> CreateDownloader(std::int32_t downloadType, NotifyCallback callback,
                                              const std::wstring& url, const std::wstring& localPath);
