#include "analytics/sdk/record_queue.h"

#include <algorithm>
#include <fstream>
#include <iostream>

#include "analytics/sdk/batch_encoding.h"
#include "support/debug_log.h"
#include "support/text.h"
#include "analytics/sdk/file_path.h"

namespace zv_transport {

RecordQueue::RecordQueue(PostTarget target, std::string stagingFile)
    : target_(std::move(target)), stagingFile_(std::move(stagingFile)) {}

RecordQueue::~RecordQueue() { Close(); }

void RecordQueue::Add(std::string recordText) {
  if (verbose_) std::cout << "add record:" << recordText << std::endl;
  std::lock_guard<std::mutex> lock(recordsMutex_);
  if (closed_) return;
  records_.push_back(std::move(recordText));
  while (records_.size() > kMaxRecords) {
    records_.pop_front();
    if (verbose_) std::cout << "record is full, delete record" << std::endl;
  }
}

void RecordQueue::LoadStagingFileLocked() {
  if (!stagingNotLoaded_) return;
  stagingNotLoaded_ = false;
  if (stagingFile_.empty()) return;
  const auto path = FilePath(stagingFile_);
  if (records_.size() < kMaxRecords) {
    const std::size_t room = kMaxRecords - records_.size();
    std::deque<std::string> staged;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line.front() != '{' || line.back() != '}') continue;
      staged.push_back(std::move(line));
      if (staged.size() > room) staged.pop_front();
    }
    records_.insert(records_.begin(), staged.begin(), staged.end());
  }
  std::ofstream truncate(path, std::ios::binary | std::ios::trunc);
}

bool RecordQueue::FlushPart() {
  std::lock_guard<std::mutex> sending(sendingMutex_);
  std::vector<std::string> batch;
  {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    if (closed_) return false;
    LoadStagingFileLocked();
    const std::size_t n = std::min(records_.size(), kBatchSize);
    if (n == 0) return true;
    batch.assign(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
    records_.erase(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
  }
  std::string batchText = "[";
  for (std::size_t i = 0; i < batch.size(); ++i) {
    if (i > 0) batchText += ',';
    batchText += batch[i];
  }
  batchText += ']';
  if (verbose_) std::cout << "flush record : " << batchText << std::endl;

  bool sent = false;
  try {
    sent = PostBatch(batchText);
  } catch (const std::exception& error) {
    DEBUG_LOG(L"[analytics] Exception when flush failed: (%s)",
              Utils::ToWide(error.what(), Utils::kCodePageUtf8).c_str());
  }
  if (sent) return true;

  // The newest records of the batch win the room that is left.
  std::lock_guard<std::mutex> lock(recordsMutex_);
  const std::size_t room = kMaxRecords - std::min(kMaxRecords, records_.size());
  const std::size_t keep = std::min(room, batch.size());
  records_.insert(records_.begin(), batch.end() - static_cast<std::ptrdiff_t>(keep), batch.end());
  return false;
}

bool RecordQueue::PostBatch(const std::string& batchText) {
  const auto body = EncodeBatchBody(batchText);
  if (!body) return false;
  std::map<std::string, std::string> headers;
  if (!cookie_.empty()) headers["Cookie"] = cookie_;
  return PostBatchBody(target_, *body, headers);
}

bool RecordQueue::Flush() {
  {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    if (closed_) return false;
    LoadStagingFileLocked();
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(recordsMutex_);
      if (records_.empty()) return true;
    }
    if (!FlushPart()) return false;
  }
}

void RecordQueue::Close() {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  if (closed_) return;
  closed_ = true;
  LoadStagingFileLocked();
  if (stagingFile_.empty()) return;
  std::ofstream out(FilePath(stagingFile_), std::ios::binary | std::ios::trunc);
  for (const std::string& record : records_) out << record << '\n';
}

std::size_t RecordQueue::Size() {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  return records_.size();
}

std::vector<std::string> RecordQueue::Snapshot() {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  return std::vector<std::string>(records_.begin(), records_.end());
}

}  // namespace zv_transport
