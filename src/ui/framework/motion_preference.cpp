#include "ui/framework/motion_preference.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace Ui {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view Trim(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<bool> Switch(std::string_view value) {
  const std::string v = Lower(Trim(value));
  if (v == "1" || v == "true" || v == "yes") return true;
  if (v == "0" || v == "false" || v == "no") return false;
  return std::nullopt;
}

}  // namespace

std::optional<bool> GtkAnimationsEnabled(std::string_view settingsIni) {
  bool inSettings = false;
  std::optional<bool> answer;
  while (!settingsIni.empty()) {
    const std::size_t end = settingsIni.find('\n');
    std::string_view line = Trim(settingsIni.substr(0, end));
    settingsIni.remove_prefix(end == std::string_view::npos ? settingsIni.size() : end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      inSettings = Lower(line) == "[settings]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inSettings || equals == std::string_view::npos) continue;
    if (Lower(Trim(line.substr(0, equals))) != "gtk-enable-animations") continue;
    // The last one written counts, as GTK reads it.
    if (std::optional<bool> value = Switch(line.substr(equals + 1))) answer = value;
  }
  return answer;
}

std::optional<bool> ReducedMotionOverride() {
  const char* value = std::getenv("TALVORIN_REDUCED_MOTION");
  if (value == nullptr) return std::nullopt;
  return Switch(value);
}

}  // namespace Ui
