// The analytics staging journal: what one run left unsent is read by the
// next run's queue, which keeps it across its own end; reading it twice must
// keep the same records.
#include "fuzz/fuzz_targets.h"

#include <sstream>
#include <vector>

#include "analytics/sdk/record_queue.h"

namespace Fuzz {

namespace {

// One run that sends nothing: the queue opens the journal, reads it at its
// first use and writes what it holds back when it closes.
std::vector<std::string> RecordsKeptByOneRun(const std::filesystem::path& journal) {
  {
    zv_transport::RecordQueue queue(zv_transport::PostTarget{}, PathUtf8(journal));
    queue.Close();
  }
  std::vector<std::string> records;
  std::istringstream in(ReadFileBytes(journal));
  for (std::string line; std::getline(in, line);) records.push_back(line);
  return records;
}

}  // namespace

std::string CheckStagingJournal(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path journal = ScratchFolder() / "staging.jsonl";
  WriteFileBytes(journal, std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<std::string> first = RecordsKeptByOneRun(journal);
  if (first.size() > zv_transport::RecordQueue::kMaxRecords) return "more records kept than the queue holds";
  for (const std::string& record : first) {
    if (record.empty() || record.front() != '{' || record.back() != '}') return "a kept line is no record";
  }
  if (RecordsKeptByOneRun(journal) != first) return "a second run kept other records";
  return {};
}

}  // namespace Fuzz
