#include "install/console_protocol_reader.h"

#include "install/console_protocol.h"
#include "install/install_codes.h"

namespace Installer {

namespace {

constexpr std::size_t kReadSize = 1024;

}  // namespace

ProtocolEnd ReadConsoleProtocol(Utils::ChildProcess& child, AfterFinalLine after,
                                const std::function<int(const std::string& line)>& parseLine) {
  ProtocolEnd end;
  LineAssembler lines;
  bool parsing = true;
  char buffer[kReadSize];
  // A read of 0 bytes: the child closed its output, it has ended or will.
  for (std::size_t got; (got = child.ReadOutput(buffer, sizeof buffer)) > 0;) {
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
