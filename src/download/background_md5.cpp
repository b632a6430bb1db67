#include "download/background_md5.h"

#include <cstdio>
#include <memory>
#include <utility>

namespace {

// Enough to ride out a moment of slow hashing without stalling the transfer,
// small enough that memory stays flat whatever the package's size. Hashing
// outruns the network almost always, so the queue rarely holds more than a
// few of curl's writes; a larger bound only raised the installer's peak
// resident set on a fast loopback transfer, where the queue stays full.
constexpr std::size_t kMaxQueuedBytes = std::size_t{2} << 20;
// Drained buffers kept for reuse: a handful covers the writes in flight;
// the rest go back to the allocator instead of staying at the high-water mark.
constexpr std::size_t kMaxSpareBuffers = 4;
constexpr std::size_t kFileBlockBytes = std::size_t{1} << 20;

}  // namespace

BackgroundMd5::BackgroundMd5(Utils::HashAlgorithm algorithm) : md5_(algorithm), worker_([this] { Work(); }) {}

BackgroundMd5::~BackgroundMd5() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void BackgroundMd5::FeedFilePrefix(const std::string& path, std::int64_t length) {
  if (length <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  jobs_.push_back(Job{{}, path, length});
  changed_.notify_all();
}

void BackgroundMd5::Feed(const void* data, std::size_t size) {
  if (size == 0) return;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queuedBytes_ < kMaxQueuedBytes || stopping_; });
  if (stopping_) return;
  std::vector<unsigned char> bytes;
  if (!spare_.empty()) {
    bytes = std::move(spare_.back());
    spare_.pop_back();
  }
  const auto* first = static_cast<const unsigned char*>(data);
  bytes.assign(first, first + size);
  queuedBytes_ += size;
  jobs_.push_back(Job{std::move(bytes), {}, 0});
  changed_.notify_all();
}

std::string BackgroundMd5::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  // A job taken off the queue is still being hashed until the worker says so.
  changed_.wait(lock, [this] { return jobs_.empty() && queuedBytes_ == 0 && !working_; });
  if (failed_ || !md5_.Ready()) return {};
  return md5_.FinishHex();
}

bool BackgroundMd5::HashFilePrefix(const std::string& path, std::int64_t length) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  std::vector<unsigned char> block(kFileBlockBytes);
  while (length > 0) {
    const std::size_t wanted =
        length < static_cast<std::int64_t>(block.size()) ? static_cast<std::size_t>(length) : block.size();
    const std::size_t n = std::fread(block.data(), 1, wanted, file.get());
    if (n != wanted) return false;
    md5_.Update(block.data(), n);
    length -= static_cast<std::int64_t>(n);
  }
  return true;
}

void BackgroundMd5::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
    if (stopping_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    working_ = true;
    lock.unlock();
    bool ok = true;
    if (job.path.empty())
      md5_.Update(job.bytes.data(), job.bytes.size());
    else
      ok = HashFilePrefix(job.path, job.length);
    lock.lock();
    working_ = false;
    if (!ok) failed_ = true;
    if (job.path.empty()) {
      queuedBytes_ -= job.bytes.size();
      if (spare_.size() < kMaxSpareBuffers) spare_.push_back(std::move(job.bytes));
    }
    changed_.notify_all();
  }
}
