// The console protocol of the package and of the uninstaller, fed as the
// reader gets it from a child: reads of arbitrary size joined into lines,
// each line decoded with the code page in force ("Encode=") and parsed.
#include "fuzz/fuzz_targets.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <cmath>
#include <cstring>
#include <vector>

#include "install/console_protocol.h"
#include "install/console_protocol_reader.h"
#include "install/install_codes.h"
#include "install/installer.h"
#include "install/uninstaller.h"

namespace Fuzz {

namespace {

struct Notification {
  std::int32_t code;
  double value;
  std::wstring text;
  bool operator==(const Notification& other) const {
    return code == other.code && text == other.text &&
           (value == other.value || (std::isnan(value) && std::isnan(other.value)));
  }
};

struct Outcome {
  std::vector<Notification> notifications;
  std::size_t throughFinal = 0;  // notifications up to the first final line's
  bool finalLineSeen = false;
};

// The reader's loop over a child's output, with the child's reads given.
template <typename Parser>
Outcome Read(Parser& parser, Installer::AfterFinalLine after, const std::vector<std::string_view>& reads,
             const std::vector<Notification>& notifications) {
  Outcome outcome;
  Installer::LineAssembler lines;
  bool parsing = true;
  auto parse = [&](const std::string& line) {
    if (parser.ParseLine(line) != kParseNothingFinal && !outcome.finalLineSeen) {
      outcome.finalLineSeen = true;
      outcome.throughFinal = notifications.size();
    }
  };
  for (const std::string_view read : reads) {
    if (!parsing) continue;
    lines.Feed(read.data(), read.size());
    for (const std::string& line : lines.TakeLines()) parse(line);
    if (outcome.finalLineSeen && after == Installer::AfterFinalLine::kStopParsing) parsing = false;
  }
  if (parsing) {
    const std::string rest = lines.TakeRest();
    if (!rest.empty()) parse(rest);
  }
  outcome.notifications = notifications;
  if (!outcome.finalLineSeen) outcome.throughFinal = notifications.size();
  return outcome;
}

template <typename MakeParser>
std::string CheckProtocol(const std::uint8_t* data, std::size_t size, Installer::AfterFinalLine after,
                          MakeParser makeParser) {
  InputReader input(data, size);
  std::uint32_t state = input.Byte() | (static_cast<std::uint32_t>(input.Byte()) << 8);
  const std::string_view stream = input.Rest();

  // Reads of 1 to 1024 bytes as the control bytes choose them, and the
  // whole stream in reads of 1024, the reader's buffer.
  std::vector<std::string_view> split, even;
  for (std::size_t at = 0; at < stream.size();) {
    state = state * 1103515245u + 12345u;
    const std::size_t limit = (state >> 28) < 4 ? 1024 : 16;
    const std::size_t n = std::min<std::size_t>(1 + (state >> 16) % limit, stream.size() - at);
    split.push_back(stream.substr(at, n));
    at += n;
  }
  for (std::size_t at = 0; at < stream.size(); at += 1024) even.push_back(stream.substr(at, 1024));

  std::vector<Notification> first, second;
  auto recorder = [](std::vector<Notification>& into) {
    return [&into](std::int32_t code, double value, const wchar_t* text) {
      if (text == nullptr) std::abort();
      into.push_back({code, value, text});
    };
  };
  Outcome a, b;
  {
    auto parser = makeParser(recorder(first));
    a = Read(parser, after, split, first);
  }
  {
    auto parser = makeParser(recorder(second));
    b = Read(parser, after, even, second);
  }
  for (const Notification& n : a.notifications) {
    if (n.text.size() > Installer::kProtocolTextCapacity) return "a text value is longer than its capacity";
  }
  // A read keeps its bytes only up to a zero byte, so only streams without
  // one read the same however they are split.
  if (stream.find('\0') != std::string_view::npos) return {};
  if (a.finalLineSeen != b.finalLineSeen) return "the split of the reads changed whether a final line was seen";
  const std::size_t common = std::min(a.throughFinal, b.throughFinal);
  if (after == Installer::AfterFinalLine::kKeepParsing ? a.notifications != b.notifications
                                                        : a.throughFinal != b.throughFinal ||
                                                              !std::equal(a.notifications.begin(),
                                                                          a.notifications.begin() + common,
                                                                          b.notifications.begin()))
    return "the split of the reads changed the notifications";
  return {};
}

// The parser objects live in the wrapper, which owns them.
struct PackageRunner {
  std::unique_ptr<CInstaller> runner;
  int ParseLine(const std::string& line) { return runner->ParseLine(line); }
};
struct RemoverRunner {
  std::unique_ptr<UnInstaller> remover;
  int ParseLine(const std::string& line) { return remover->ParseBytes(line); }
};

}  // namespace

std::string CheckPackageProtocol(const std::uint8_t* data, std::size_t size) {
  return CheckProtocol(data, size, Installer::AfterFinalLine::kStopParsing, [](NotifyCallback callback) {
    return PackageRunner{std::make_unique<CInstaller>(std::move(callback), L"\"package\"", L"", true, true, true)};
  });
}

std::string CheckRemovalProtocol(const std::uint8_t* data, std::size_t size) {
  return CheckProtocol(data, size, Installer::AfterFinalLine::kKeepParsing, [](NotifyCallback callback) {
    return RemoverRunner{std::make_unique<UnInstaller>(std::move(callback), L"uninstaller", L"folder")};
  });
}

}  // namespace Fuzz
