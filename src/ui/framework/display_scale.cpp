#include "ui/framework/display_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace Ui {
namespace {

std::optional<double> Number(std::string_view text) {
  const std::string value(text);
  char* end = nullptr;
  const double number = std::strtod(value.c_str(), &end);
  if (end == value.c_str()) return std::nullopt;
  while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
  if (*end != '\0' || !std::isfinite(number) || number <= 0) return std::nullopt;
  return number;
}

double Tidy(double scale) { return std::clamp(std::round(scale * 4.0) / 4.0, 1.0, 4.0); }

}  // namespace

std::optional<double> XftDpi(std::string_view resources) {
  while (!resources.empty()) {
    const std::size_t end = resources.find('\n');
    std::string_view line = resources.substr(0, end);
    resources.remove_prefix(end == std::string_view::npos ? resources.size() : end + 1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    if (name != "Xft.dpi") continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    return Number(value);
  }
  return std::nullopt;
}

double ChooseDisplayScale(std::optional<std::string_view> forced, std::optional<std::string_view> gdkScale,
                          std::optional<std::string_view> xResources) {
  if (forced) {
    if (std::optional<double> scale = Number(*forced)) return Tidy(*scale);
  }
  if (gdkScale) {
    // GTK takes whole numbers only.
    if (std::optional<double> scale = Number(*gdkScale); scale && *scale == std::floor(*scale)) return Tidy(*scale);
  }
  if (xResources) {
    if (std::optional<double> dpi = XftDpi(*xResources)) return Tidy(*dpi / 96.0);
  }
  return 1.0;
}

}  // namespace Ui
