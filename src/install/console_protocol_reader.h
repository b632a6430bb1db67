// Reading a child's console protocol to its end: the loop the package runner
// and the remover share.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "support/child_process.h"

namespace Installer {

// What becomes of the lines after the read that held the first final line.
enum class AfterFinalLine {
  // Read but not parsed (the package runner): the child must not block on a
  // full pipe while it is waited for.
  kStopParsing,
  // Parsed to the child's end (the remover).
  kKeepParsing,
};

struct ProtocolEnd {
  bool finalLineSeen = false;
  std::uint32_t exitCode = 0;  // 0 when the child could not be waited for
};

// Reads the started `child`'s output until the child has ended and its output
// is drained (for a short, bounded time after its end), handing each
// whole line (bytes, without its line feed) to `parseLine`, which answers 0 or
// a final result; all lines of one read are parsed. Then waits for the child
// and closes it. A last line without a line feed is parsed once the child has
// ended, unless parsing has stopped.
ProtocolEnd ReadConsoleProtocol(Utils::ChildProcess& child, AfterFinalLine after,
                                const std::function<int(const std::string& line)>& parseLine);

}  // namespace Installer
