#include "analytics/crash_record.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace zorvan::analytics {

namespace {

constexpr std::size_t kTimeDigits = 13;  // milliseconds since 1970, until the year 2286

struct Prepared {
  zv_transport::NativeFile file;
  std::vector<char> bytes;
  std::vector<std::size_t> timeAt;  // where each record's 13 time digits start
};

std::atomic<Prepared*> prepared{nullptr};
std::atomic<int> writers{0};

void Retire(Prepared* old) {
  while (writers.load() > 0) std::this_thread::yield();
  delete old;
}

}  // namespace

void ArmCrashRecord(std::string lines, zv_transport::NativeFile file) {
  auto* next = new Prepared{file, std::vector<char>(lines.begin(), lines.end()), {}};
  // A record's own "time" is its last one: "properties" comes before it.
  std::size_t lineStart = 0;
  while (lineStart < lines.size()) {
    const std::size_t lineEnd = lines.find('\n', lineStart);
    const std::size_t end = lineEnd == std::string::npos ? lines.size() : lineEnd;
    const std::size_t key = lines.rfind("\"time\":", end);
    if (key != std::string::npos && key >= lineStart) {
      const std::size_t digits = key + 7;
      std::size_t count = 0;
      while (digits + count < end && lines[digits + count] >= '0' && lines[digits + count] <= '9') ++count;
      if (count == kTimeDigits) next->timeAt.push_back(digits);
    }
    lineStart = end + 1;
  }
  Retire(prepared.exchange(next));
}

void DisarmCrashRecord() { Retire(prepared.exchange(nullptr)); }

void AppendCrashRecord() {
  writers.fetch_add(1);
  if (Prepared* records = prepared.load()) {
    std::int64_t now = zv_transport::SignalSafeUnixMilliseconds();
    if (now >= 1000000000000LL && now <= 9999999999999LL) {
      char digits[kTimeDigits];
      for (std::size_t i = kTimeDigits; i-- > 0; now /= 10) digits[i] = static_cast<char>('0' + now % 10);
      for (const std::size_t at : records->timeAt) {
        for (std::size_t i = 0; i < kTimeDigits; ++i) records->bytes[at + i] = digits[i];
      }
    }
    zv_transport::AppendToNativeFile(records->file, records->bytes.data(), records->bytes.size());
  }
  writers.fetch_sub(1);
}

}  // namespace zorvan::analytics
