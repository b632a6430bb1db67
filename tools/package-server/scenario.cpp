#include "scenario.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <type_traits>

namespace PackageServer {

namespace {

bool IsIdCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_' || c == '.';
}

bool ParseNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value);
  return result == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error) {
  scenario = Scenario{};
  const std::size_t idEnd = std::min(text.find(';'), text.size());
  scenario.id = std::string(text.substr(0, idEnd));
  if (scenario.id.empty()) {
    error = "the scenario has no id";
    return false;
  }
  for (char c : scenario.id) {
    if (!IsIdCharacter(c)) {
      error = "the scenario id may hold only letters, digits, '-', '_' and '.'";
      return false;
    }
  }
  scenario.prefix = "/s/" + std::string(text);

  std::string_view rest = text.substr(idEnd);
  while (!rest.empty()) {
    rest.remove_prefix(1);  // the ';'
    const std::size_t end = std::min(rest.find(';'), rest.size());
    const std::string_view option = rest.substr(0, end);
    rest = rest.substr(end);

    const std::size_t equals = option.find('=');
    const std::string_view name = option.substr(0, equals);
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view valueText = hasValue ? option.substr(equals + 1) : std::string_view();
    std::uint64_t value = 0;
    const bool numeric = hasValue && ParseNumber(valueText, value);

    auto flag = [&](bool& target) {
      if (hasValue) return false;
      target = true;
      return true;
    };
    auto number = [&](auto& target, std::uint64_t low, std::uint64_t high) {
      if (!numeric || value < low || value > high) return false;
      target = static_cast<std::remove_reference_t<decltype(target)>>(value);
      return true;
    };
    auto optionalNumber = [&](std::optional<std::uint64_t>& target) {
      if (!numeric) return false;
      target = value;
      return true;
    };
    auto status = [&](int& target) { return number(target, 100, 599); };
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

    bool ok = false;
    if (name == "size") {
      // Its digest is computed before the first redirect: no size may keep
      // a worker hashing for minutes.
      ok = numeric && value <= (std::uint64_t{1} << 32) && optionalNumber(scenario.size);
    } else if (name == "seed") {
      ok = number(scenario.seed, 0, kMax);
    } else if (name == "name") {
      ok = hasValue && !valueText.empty();
      scenario.name = std::string(valueText);
    } else if (name == "file") {
      // A plain file name of the serving folder: no way out of it.
      ok = hasValue && !valueText.empty() && valueText.front() != '.' &&
           std::all_of(valueText.begin(), valueText.end(), IsIdCharacter);
      scenario.file = std::string(valueText);
    } else if (name == "redirects") {
      ok = number(scenario.redirects, 0, 20);
    } else if (name == "redirect-loop") {
      ok = flag(scenario.redirectLoop);
    } else if (name == "no-digest") {
      ok = flag(scenario.noDigest);
    } else if (name == "sha256") {
      ok = flag(scenario.sha256);
    } else if (name == "head-status") {
      ok = status(scenario.headStatus);
    } else if (name == "stall-head") {
      ok = flag(scenario.stallHead);
    } else if (name == "get-status") {
      ok = status(scenario.getStatus);
    } else if (name == "ignore-ranges") {
      ok = flag(scenario.ignoreRanges);
    } else if (name == "bad-md5") {
      ok = flag(scenario.badMd5);
    } else if (name == "cut") {
      ok = optionalNumber(scenario.cut);
    } else if (name == "stall") {
      if (!hasValue) {
        scenario.stall = 0;
        ok = true;
      } else {
        ok = optionalNumber(scenario.stall);
      }
    } else if (name == "no-length") {
      ok = flag(scenario.noLength);
    } else if (name == "wrong-length") {
      ok = optionalNumber(scenario.wrongLength);
    } else if (name == "faulty-heads") {
      ok = optionalNumber(scenario.faultyHeads);
    } else if (name == "faulty-gets") {
      ok = optionalNumber(scenario.faultyGets);
    } else if (name == "etag") {
      ok = flag(scenario.etag);
    } else if (name == "last-modified") {
      ok = flag(scenario.lastModified);
    } else if (name == "revalidate-after") {
      ok = optionalNumber(scenario.revalidateAfter);
    } else if (name == "ignore-if-range") {
      ok = flag(scenario.ignoreIfRange);
    } else if (name == "throttle") {
      ok = number(scenario.throttle, 1, kMax);
    } else if (name == "hold") {
      ok = number(scenario.holdSeconds, 1, 60);
    } else {
      error = "unknown option \"" + std::string(name) + "\"";
      return false;
    }
    if (!ok) {
      error = "bad option \"" + std::string(option) + "\"";
      return false;
    }
  }
  if (scenario.size && !scenario.file.empty()) {
    error = "size and file exclude each other";
    return false;
  }
  if (scenario.noLength && scenario.wrongLength) {
    error = "no-length and wrong-length exclude each other";
    return false;
  }
  return true;
}

}  // namespace PackageServer
