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

std::string ProgressBarLine(int percent, InstallStage stage, int width, const std::string& name) {
  percent = Clamp(percent);
  width = std::max(width, 1);
  const int filled = percent * width / 100;
  std::string line = "\r[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(width - filled), '.');
  char tail[160];
  // Padded to the longest stage name, so a shorter one overwrites it fully.
  std::snprintf(tail, sizeof tail, "] %3d%% %-28s", percent, name.empty() ? StageName(stage) : name.c_str());
  return line + tail;
}

std::string ProgressPlainLine(int percent, InstallStage stage, const std::string& name) {
  return (name.empty() ? std::string(StageName(stage)) : name) + ": " + std::to_string(Clamp(percent)) + "%\n";
}

std::string ProgressPrinter::Update(int percent, InstallStage stage) {
  percent = Clamp(percent);
  if (percent == lastPercent_ && stage == lastStage_) return "";
  lastPercent_ = percent;
  lastStage_ = stage;
  const std::string& name = names_[static_cast<std::size_t>(stage)];
  if (!terminal_) return ProgressPlainLine(percent, stage, name);
  lineOpen_ = true;
  return ProgressBarLine(percent, stage, 30, name);
}

std::string ProgressPrinter::EndLine() {
  if (!lineOpen_) return "";
  lineOpen_ = false;
  return "\n";
}

}  // namespace Installer
