// The record queue: JSON record texts in memory, posted in batches of at most
// 30, a failed batch put back in front, and what is unsent kept in a staging
// file across runs. The only part of the analytics client that sends.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/sdk/http_post.h"

namespace zv_transport {

class RecordQueue {
 public:
  static constexpr std::size_t kMaxRecords = 1024;
  static constexpr std::size_t kBatchSize = 30;

  // No file or network access yet. An empty staging path keeps nothing
  // across runs.
  RecordQueue(PostTarget target, std::string stagingFile);
  ~RecordQueue();
  RecordQueue(const RecordQueue&) = delete;
  RecordQueue& operator=(const RecordQueue&) = delete;

  // Appends one record text; past 1024 the oldest go.
  void Add(std::string recordText);
  // Sends everything queued, batch by batch; false at the first failed batch.
  bool Flush();
  // Writes what is queued (and what the staging file still held) to the
  // staging file; later calls do nothing.
  void Close();

  std::size_t Size();
  std::vector<std::string> Snapshot();

  void SetCookie(std::string cookie) { cookie_ = std::move(cookie); }
  void SetVerbose(bool verbose) { verbose_ = verbose; }

 private:
  bool FlushPart();
  void LoadStagingFileLocked();
  bool PostBatch(const std::string& batchText);

  PostTarget target_;
  std::string stagingFile_;
  std::string cookie_;
  bool verbose_ = false;
  std::mutex recordsMutex_;
  std::mutex sendingMutex_;
  std::deque<std::string> records_;
  bool stagingNotLoaded_ = true;
  bool closed_ = false;
};

}  // namespace zv_transport
