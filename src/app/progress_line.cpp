#include "app/progress_line.h"

#include <algorithm>
#include <cstdio>

namespace Installer {

namespace {
int Clamp(int percent) { return std::clamp(percent, 0, 100); }
}  // namespace

const char* StageName(InstallStage stage) {
  switch (stage) {
    case InstallStage::Removing: return "removing the earlier version";
    case InstallStage::Downloading: return "downloading";
    case InstallStage::Installing: return "installing";
  }
  return "";
}

std::string ProgressBarLine(int percent, InstallStage stage, int width) {
  percent = Clamp(percent);
  width = std::max(width, 1);
  const int filled = percent * width / 100;
  std::string line = "\r[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(width - filled), '.');
  char tail[64];
  // Padded to the longest stage name, so a shorter one overwrites it fully.
  std::snprintf(tail, sizeof tail, "] %3d%% %-28s", percent, StageName(stage));
  return line + tail;
}

std::string ProgressPlainLine(int percent, InstallStage stage) {
  char line[64];
  std::snprintf(line, sizeof line, "%s: %d%%\n", StageName(stage), Clamp(percent));
  return line;
}

std::string ProgressPrinter::Update(int percent, InstallStage stage) {
  percent = Clamp(percent);
  if (percent == lastPercent_ && stage == lastStage_) return "";
  lastPercent_ = percent;
  lastStage_ = stage;
  if (!terminal_) return ProgressPlainLine(percent, stage);
  lineOpen_ = true;
  return ProgressBarLine(percent, stage);
}

std::string ProgressPrinter::EndLine() {
  if (!lineOpen_) return "";
  lineOpen_ = false;
  return "\n";
}

}  // namespace Installer
