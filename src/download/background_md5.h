// The digest (MD5 or SHA-256) of a package computed on a thread of its own while the package is still
// arriving, so that checking the digest costs almost nothing after the last
// byte: the hashing runs on the second core instead of in a pass of its own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/digest.h"

class BackgroundMd5 {
 public:
  explicit BackgroundMd5(Utils::HashAlgorithm algorithm = Utils::HashAlgorithm::kMd5);
  // Stops hashing at once; the digest is then lost.
  ~BackgroundMd5();
  BackgroundMd5(const BackgroundMd5&) = delete;
  BackgroundMd5& operator=(const BackgroundMd5&) = delete;

  // Hashes the first `length` bytes of a file before anything fed later: the
  // part of a package an earlier attempt left on disk. The file must not
  // change within those bytes meanwhile (later bytes may be appended).
  void FeedFilePrefix(const std::string& path, std::int64_t length);
  // Hashes a copy of the bytes. Waits while much is still unhashed, so memory
  // stays bounded when the disk and the network outrun the hashing.
  void Feed(const void* data, std::size_t size);
  // Waits for everything fed to be hashed: the lower-case hexadecimal digest,
  // or empty when the hash provider is unavailable or the file prefix could
  // not be read in full.
  std::string Finish();

 private:
  struct Job {
    std::vector<unsigned char> bytes;  // data to hash, or empty for a file prefix
    std::string path;
    std::int64_t length = 0;
  };
  void Work();
  bool HashFilePrefix(const std::string& path, std::int64_t length);

  Utils::Hash md5_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::vector<std::vector<unsigned char>> spare_;  // drained buffers, reused to spare allocations
  std::size_t queuedBytes_ = 0;
  bool stopping_ = false;
  bool failed_ = false;
  bool working_ = false;  // the worker is hashing a job it took off the queue
  std::thread worker_;
};
