// The record queue: JSON record texts posted in batches of at most 30, kept
// in a write-ahead journal from the moment they are queued until the batch
// that carried them was answered 200. A kill, a crash or a power cut loses
// at most the line being written; after a restart at most the batch that was
// in flight is sent twice (each record's track id lets a server drop the
// repeat). The only part of the analytics client that sends.
//
// Beside the journal "<name>.jsonl" live "<name>.crash.jsonl" (where the
// crash handler appends its records through a descriptor opened in
// advance), "<name>.strikes" (how many runs in a row the server refused the
// batch at the head) and "<name>.rejected.jsonl" (batches refused three runs
// in a row, kept for support, never sent again; at most 256 KiB).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "analytics/sdk/http_post.h"
#include "analytics/sdk/journal_file.h"

namespace zv_transport {

struct JournalFiles {
  std::string journal, crash, strikes, rejected;
};
// The files that belong to a journal.
JournalFiles JournalFilesOf(const std::string& journal);
// Deletes a journal and the files beside it; true when none is left.
bool RemoveJournal(const std::string& journal);

class RecordQueue {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kMaxRecords = 1024;
  static constexpr std::size_t kBatchSize = 30;
  static constexpr int kRefusingRunsBeforeRejecting = 3;
  static constexpr std::size_t kMaxRejectedBytes = 256 * 1024;

  // With a journal: takes over what earlier runs left in it and in its crash
  // segment (the newest 1024 sound records, oldest first), rewrites it with
  // exactly those and keeps it open for appending. An empty path keeps
  // records in memory only.
  RecordQueue(PostTarget target, std::string journalFile);
  ~RecordQueue();
  RecordQueue(const RecordQueue&) = delete;
  RecordQueue& operator=(const RecordQueue&) = delete;

  // Appends one record text to the journal and the queue; past 1024 the
  // oldest go.
  void Add(std::string recordText);
  // Sends batch by batch until the queue is empty (true), a batch fails or
  // `deadline` has come (false). A 413 splits the batch; a 429 or 503 with
  // Retry-After is honoured, waiting only when the wait ends before
  // `deadline`; a batch refused with another 4xx in three runs in a row
  // moves to the rejected file. Other failures put the batch back in front.
  bool Flush(Clock::time_point deadline = Clock::time_point::max());
  // No request runs past `moment`, the one in flight included.
  void CutOff(Clock::time_point moment);
  // Forces the journal to disk.
  bool Sync();
  // Ends the queue: the journal is forced to disk (and compacted when it
  // holds records that left the queue) and closed. A batch in flight is
  // cut short and stays in the journal. Later calls do nothing.
  void Close();

  std::size_t Size();
  std::vector<std::string> Snapshot();
  // The earliest moment the server wants the next batch (Retry-After).
  Clock::time_point NotBefore();
  // The crash segment, open for appending; kNoNativeFile without a journal.
  NativeFile CrashSegment();

  void SetCookie(std::string cookie) { cookie_ = std::move(cookie); }
  void SetVerbose(bool verbose) { verbose_ = verbose; }

 private:
  enum class Outcome { Delivered, TooLarge, Refused, Failed };
  void LoadJournal();
  bool FlushPart(Clock::time_point deadline);
  Outcome PostPiece(const std::vector<std::string>& piece, Clock::time_point deadline);
  void Acknowledge(std::size_t count);
  void CompactLocked();
  void PutBack(const std::vector<std::string>& records);
  bool StrikeReachesLimit(const std::vector<std::string>& piece);
  void Reject(const std::vector<std::string>& piece);

  PostTarget target_;
  JournalFiles files_;
  std::string cookie_;
  bool verbose_ = false;
  std::mutex recordsMutex_;
  std::mutex sendingMutex_;
  std::deque<std::string> records_;
  // Records of the batch on its way, still in the journal.
  std::vector<std::string> inFlight_;
  std::shared_ptr<AppendFile> journal_;
  std::unique_ptr<AppendFile> crashSegment_;
  // The journal holds lines that are no longer queued.
  bool stale_ = false;
  bool closed_ = false;
  std::atomic<std::int64_t> cutoff_{INT64_MAX};
  std::atomic<std::int64_t> notBefore_{0};
  std::set<std::uint64_t> struckThisRun_;
};

}  // namespace zv_transport
