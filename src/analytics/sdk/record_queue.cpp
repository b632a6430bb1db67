#include "analytics/sdk/record_queue.h"

#include <json/json.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <thread>

#include "analytics/sdk/batch_encoding.h"
#include "analytics/sdk/record_builder.h"
#include "support/debug_log.h"
#include "support/debug_log_platform.h"
#include "support/text.h"

namespace zv_transport {

namespace {

// A journal is at most 1024 records of at most a few dozen KiB each.
constexpr std::size_t kMaxJournalBytes = 64u * 1024 * 1024;
constexpr int kMostRetryAfterWaits = 3;

std::int64_t Ticks(RecordQueue::Clock::time_point moment) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch()).count();
}
RecordQueue::Clock::time_point FromTicks(std::int64_t ticks) {
  return RecordQueue::Clock::time_point(
      std::chrono::duration_cast<RecordQueue::Clock::duration>(std::chrono::nanoseconds(ticks)));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// A line a server can take: one JSON object. A line cut by a power loss, or
// run into the next one, is not.
bool IsSoundRecord(const std::string& line) {
  if (line.empty() || line.front() != '{' || line.back() != '}') return false;
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  std::string errors;
  return reader->parse(line.data(), line.data() + line.size(), &value, &errors) && value.isObject();
}

std::string Joined(const std::deque<std::string>& head, const std::vector<std::string>& first) {
  std::string text;
  for (const std::string& record : first) text += record + '\n';
  for (const std::string& record : head) text += record + '\n';
  return text;
}

std::uint64_t Fingerprint(const std::string& text) {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

JournalFiles JournalFilesOf(const std::string& journal) {
  JournalFiles files;
  files.journal = journal;
  if (journal.empty()) return files;
  const std::string suffix = ".jsonl";
  std::string base = journal;
  if (base.size() > suffix.size() && base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0) {
    base.resize(base.size() - suffix.size());
  }
  files.crash = base + ".crash.jsonl";
  files.strikes = base + ".strikes";
  files.rejected = base + ".rejected.jsonl";
  return files;
}

bool RemoveJournal(const std::string& journal) {
  const JournalFiles files = JournalFilesOf(journal);
  bool gone = true;
  for (const std::string* path : {&files.journal, &files.crash, &files.strikes, &files.rejected}) {
    gone = RemoveFileIfPresent(*path) && gone;
    gone = RemoveFileIfPresent(*path + ".new") && gone;
  }
  return gone;
}

RecordQueue::RecordQueue(PostTarget target, std::string journalFile)
    : target_(std::move(target)), files_(JournalFilesOf(journalFile)) {
  if (!files_.journal.empty()) LoadJournal();
}

RecordQueue::~RecordQueue() { Close(); }

void RecordQueue::LoadJournal() {
  const std::optional<std::string> journalText = ReadSmallFile(files_.journal, kMaxJournalBytes);
  const std::optional<std::string> crashText = ReadSmallFile(files_.crash, kMaxJournalBytes);
  std::vector<std::string> lines = journalText ? Lines(*journalText) : std::vector<std::string>();
  if (crashText) {
    // A run that ended between merging the crash segment and deleting it
    // left its lines in both files.
    const std::set<std::string> known(lines.begin(), lines.end());
    for (std::string& line : Lines(*crashText)) {
      if (known.count(line) == 0) lines.push_back(std::move(line));
    }
  }
  for (std::string& line : lines) {
    if (!IsSoundRecord(line)) continue;
    records_.push_back(std::move(line));
    if (records_.size() > kMaxRecords) records_.pop_front();
  }
  const std::string kept = Joined(records_, {});
  bool merged = true;
  if (!journalText || *journalText != kept || (crashText && !crashText->empty())) {
    merged = ReplaceFileDurably(files_.journal, kept);
  }
  if (merged) RemoveFileIfPresent(files_.crash);
  crashSegment_ = AppendFile::Open(files_.crash);
  journal_ = AppendFile::Open(files_.journal);
  if (!journal_) Utils::EmitLogLine(L"[analytics] the journal cannot be written; records stay in memory\r\n");
}

void RecordQueue::Add(std::string recordText) {
  if (verbose_) std::cout << "add record:" << recordText << std::endl;
  std::lock_guard<std::mutex> lock(recordsMutex_);
  if (closed_) return;
  if (journal_ && !journal_->Append(recordText + '\n')) {
    Utils::EmitLogLine(L"[analytics] a record could not be written to the journal\r\n");
  }
  records_.push_back(std::move(recordText));
  while (records_.size() > kMaxRecords) {
    records_.pop_front();
    stale_ = true;
    if (verbose_) std::cout << "record is full, delete record" << std::endl;
  }
}

void RecordQueue::CompactLocked() {
  if (files_.journal.empty()) return;
  // Windows renames over a file only when nobody holds it open.
  journal_.reset();
  if (ReplaceFileDurably(files_.journal, Joined(records_, inFlight_))) {
    stale_ = false;
  } else {
    Utils::EmitLogLine(L"[analytics] the journal could not be compacted\r\n");
    stale_ = true;
  }
  journal_ = AppendFile::Open(files_.journal);
}

void RecordQueue::Acknowledge(std::size_t count) {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  inFlight_.erase(inFlight_.begin(), inFlight_.begin() + static_cast<std::ptrdiff_t>(std::min(count, inFlight_.size())));
  if (!closed_) CompactLocked();
}

void RecordQueue::PutBack(const std::vector<std::string>& batch) {
  // The newest records of the batch win the room that is left; the journal
  // keeps them all until it is next compacted.
  std::lock_guard<std::mutex> lock(recordsMutex_);
  inFlight_.clear();
  const std::size_t room = kMaxRecords - std::min(kMaxRecords, records_.size());
  const std::size_t keep = std::min(room, batch.size());
  if (keep < batch.size()) stale_ = true;
  records_.insert(records_.begin(), batch.end() - static_cast<std::ptrdiff_t>(keep), batch.end());
}

bool RecordQueue::Flush(Clock::time_point deadline) {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(recordsMutex_);
      if (closed_) return false;
      if (records_.empty()) return true;
    }
    if (!FlushPart(deadline)) return false;
  }
}

bool RecordQueue::FlushPart(Clock::time_point deadline) {
  std::lock_guard<std::mutex> sending(sendingMutex_);
  std::vector<std::string> batch;
  {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    if (closed_) return false;
    const std::size_t n = std::min(records_.size(), kBatchSize);
    if (n == 0) return true;
    batch.assign(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
    records_.erase(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
    inFlight_ = batch;
  }
  std::deque<std::vector<std::string>> pieces{batch};
  while (!pieces.empty()) {
    const std::vector<std::string>& piece = pieces.front();
    Outcome outcome = Outcome::Failed;
    try {
      outcome = PostPiece(piece, deadline);
    } catch (const std::exception& error) {
      DEBUG_LOG(L"[analytics] Exception when flush failed: (%s)",
                Utils::ToWide(error.what(), Utils::kCodePageUtf8).c_str());
    }
    if (outcome == Outcome::TooLarge && piece.size() > 1) {
      // Too large for the server: the halves go one after the other.
      const auto middle = piece.begin() + static_cast<std::ptrdiff_t>(piece.size() / 2);
      std::vector<std::string> first(piece.begin(), middle);
      std::vector<std::string> second(middle, piece.end());
      pieces.pop_front();
      pieces.push_front(std::move(second));
      pieces.push_front(std::move(first));
      continue;
    }
    if (outcome == Outcome::TooLarge || outcome == Outcome::Refused) {
      if (!StrikeReachesLimit(piece)) break;
      Reject(piece);
      outcome = Outcome::Delivered;  // gone from the journal all the same
    }
    if (outcome != Outcome::Delivered) break;
    Acknowledge(piece.size());
    pieces.pop_front();
  }
  if (pieces.empty()) return true;
  std::vector<std::string> rest;
  for (const auto& piece : pieces) rest.insert(rest.end(), piece.begin(), piece.end());
  PutBack(rest);
  return false;
}

RecordQueue::Outcome RecordQueue::PostPiece(const std::vector<std::string>& piece, Clock::time_point deadline) {
  std::string batchText = "[";
  for (std::size_t i = 0; i < piece.size(); ++i) {
    if (i > 0) batchText += ',';
    batchText += piece[i];
  }
  batchText += ']';
  if (verbose_) std::cout << "flush record : " << batchText << std::endl;
  const auto body = EncodeBatchBody(batchText);
  if (!body) return Outcome::Failed;
  std::map<std::string, std::string> headers;
  if (!cookie_.empty()) headers["Cookie"] = cookie_;

  for (int waits = 0;; ++waits) {
    const Clock::time_point end = std::min(deadline, FromTicks(cutoff_.load()));
    const Clock::time_point notBefore = FromTicks(notBefore_.load());
    if (Clock::now() < notBefore) {
      // The server asked for a pause: wait only when it ends in time.
      if (notBefore >= end) return Outcome::Failed;
      while (Clock::now() < notBefore && Clock::now() < FromTicks(cutoff_.load())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    const Clock::time_point now = Clock::now();
    if (now >= end) return Outcome::Failed;
    PostLimits limits;
    limits.cutoff = &cutoff_;
    if (end != Clock::time_point::max()) {
      limits.timeout = std::min(limits.timeout,
                                std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
      if (limits.timeout.count() <= 0) return Outcome::Failed;
    }
    const HttpResponse response = PostBatchBody(target_, *body, headers, limits);
    const long status = response.status;
    if (status == 200) return Outcome::Delivered;
    if (status == 413) return Outcome::TooLarge;
    if (status == 429 || status == 503) {
      const auto wait = RetryAfter(response, NowMilliseconds() / 1000);
      if (!wait) return Outcome::Failed;
      notBefore_ = Ticks(Clock::now() + *wait);
      if (waits + 1 >= kMostRetryAfterWaits) return Outcome::Failed;
      continue;
    }
    if (status >= 400 && status < 500) return Outcome::Refused;
    return Outcome::Failed;
  }
}

bool RecordQueue::StrikeReachesLimit(const std::vector<std::string>& piece) {
  if (files_.strikes.empty() || piece.empty()) return false;
  // The batch is known by its first record: records queued later may join
  // it from run to run, the head stays.
  const std::uint64_t key = Fingerprint(piece.front());
  if (!struckThisRun_.insert(key).second) return false;
  std::uint64_t storedKey = 0;
  int count = 0;
  if (const auto text = ReadSmallFile(files_.strikes, 256)) {
    std::istringstream in(*text);
    in >> std::hex >> storedKey >> std::dec >> count;
    if (!in) storedKey = 0, count = 0;
  }
  count = storedKey == key ? count + 1 : 1;
  if (count >= kRefusingRunsBeforeRejecting) {
    RemoveFileIfPresent(files_.strikes);
    return true;
  }
  std::ostringstream out;
  out << std::hex << key << std::dec << ' ' << count << '\n';
  ReplaceFileDurably(files_.strikes, out.str());
  return false;
}

void RecordQueue::Reject(const std::vector<std::string>& piece) {
  std::string kept = ReadSmallFile(files_.rejected, 2 * kMaxRejectedBytes).value_or(std::string());
  for (const std::string& record : piece) kept += record + '\n';
  while (kept.size() > kMaxRejectedBytes) {
    const std::size_t lineEnd = kept.find('\n');
    kept.erase(0, lineEnd == std::string::npos ? kept.size() : lineEnd + 1);
  }
  ReplaceFileDurably(files_.rejected, kept);
  Utils::EmitLogLine(L"[analytics] a batch the server refused three runs in a row was set aside\r\n");
}

void RecordQueue::CutOff(Clock::time_point moment) {
  const std::int64_t ticks = Ticks(moment);
  std::int64_t current = cutoff_.load();
  while (ticks < current && !cutoff_.compare_exchange_weak(current, ticks)) {
  }
}

bool RecordQueue::Sync() {
  std::shared_ptr<AppendFile> journal;
  {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    journal = journal_;
  }
  return journal && journal->Sync();
}

void RecordQueue::Close() {
  CutOff(Clock::now());
  std::lock_guard<std::mutex> sending(sendingMutex_);
  std::lock_guard<std::mutex> lock(recordsMutex_);
  if (closed_) return;
  closed_ = true;
  if (files_.journal.empty()) return;
  if (stale_) {
    CompactLocked();
  } else if (journal_) {
    journal_->Sync();
  }
  journal_.reset();
  crashSegment_.reset();
  RemoveFileIfPresent(files_.crash);
}

std::size_t RecordQueue::Size() {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  return records_.size();
}

std::vector<std::string> RecordQueue::Snapshot() {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  return std::vector<std::string>(records_.begin(), records_.end());
}

RecordQueue::Clock::time_point RecordQueue::NotBefore() { return FromTicks(notBefore_.load()); }

NativeFile RecordQueue::CrashSegment() {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  return crashSegment_ ? crashSegment_->Native() : kNoNativeFile;
}

}  // namespace zv_transport
