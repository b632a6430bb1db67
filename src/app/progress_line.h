// The progress of an unattended installation as text on standard error: a
// bar that redraws itself in one line on a terminal, plain lines (one per
// change) in a log file or pipe.
#pragma once

#include <array>
#include <string>

namespace Installer {

enum class InstallStage { Removing, Downloading, Installing };

// "removing the earlier version", "downloading", "installing".
const char* StageName(InstallStage stage);

// "\r[#########.....................]  30% downloading", the bar `width`
// characters wide; the percent is held to 0..100.
// `name` replaces the stage's English name (the interface language's).
std::string ProgressBarLine(int percent, InstallStage stage, int width = 30, const std::string& name = {});
// "downloading: 30%\n"
std::string ProgressPlainLine(int percent, InstallStage stage, const std::string& name = {});

// Decides what to write for each report: nothing when neither the percent
// nor the stage changed, so a chatty download does not flood a log.
class ProgressPrinter {
 public:
  explicit ProgressPrinter(bool terminal) : terminal_(terminal) {}
  // The stages' names in the interface language, in the order of InstallStage.
  void SetStageNames(std::array<std::string, 3> names) { names_ = std::move(names); }
  std::string Update(int percent, InstallStage stage);
  // Ends an open bar line, so the next message starts on a line of its own.
  std::string EndLine();

 private:
  bool terminal_;
  std::array<std::string, 3> names_;
  bool lineOpen_ = false;
  int lastPercent_ = -1;
  InstallStage lastStage_ = InstallStage::Removing;
};

}  // namespace Installer
