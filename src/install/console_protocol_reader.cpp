#include "install/console_protocol_reader.h"

#include <chrono>

#include "install/console_protocol.h"
#include "install/install_codes.h"
#include "support/debug_log.h"

namespace Installer {

namespace {

constexpr std::size_t kReadSize = 1024;
// How long one read waits before the child's state is looked at again.
constexpr std::uint32_t kPollMilliseconds = 100;
// Once the child has ended, what is still in the pipe is read for this long
// at most: a process it left behind may hold the output open for ever.
constexpr auto kDrainAfterEnd = std::chrono::milliseconds(1500);

}  // namespace

ProtocolEnd ReadConsoleProtocol(Utils::ChildProcess& child, AfterFinalLine after,
                                const std::function<int(const std::string& line)>& parseLine) {
  ProtocolEnd end;
  LineAssembler lines;
  bool parsing = true;
  char buffer[kReadSize];
  bool ended = false;
  std::chrono::steady_clock::time_point drainUntil;
  // The child's end, not the end of its output, ends the reading: the
  // output may outlive it in a process it started.
  while (true) {
    if (ended && std::chrono::steady_clock::now() >= drainUntil) {
      DEBUG_LOG(L"the child has ended but its output is still open (a process it started holds it); "
                L"reading stops");
      break;
    }
    const Utils::ChildProcess::TimedRead read = child.ReadOutputWithin(buffer, sizeof buffer, kPollMilliseconds);
    if (read.bytes == 0) {
      if (!read.timedOut) break;  // the output is closed
      if (!ended && !child.IsRunning()) {
        ended = true;
        drainUntil = std::chrono::steady_clock::now() + kDrainAfterEnd;
      }
      continue;
    }
    const std::size_t got = read.bytes;
    if (!parsing) continue;
    lines.Feed(buffer, got);
    for (const std::string& line : lines.TakeLines()) {
      if (parseLine(line) != kParseNothingFinal) end.finalLineSeen = true;
    }
    if (end.finalLineSeen && after == AfterFinalLine::kStopParsing) parsing = false;
  }
  try {
    end.exitCode = child.WaitForExit();
  } catch (const Utils::Exception&) {
  }
  child.Close();
  // The last line may lack its line feed; it counts once the child is gone.
  if (parsing) {
    const std::string rest = lines.TakeRest();
    if (!rest.empty() && parseLine(rest) != kParseNothingFinal) end.finalLineSeen = true;
  }
  return end;
}

}  // namespace Installer
