#include "ui/install_progress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using Installer::FormatProgressText;
using Installer::InstallProgress;
using Installer::ProgressTemplate;

TEST(InstallProgress, DownloadFillsItsShareOfTheBar) {
  struct Case {
    double scale, fraction;
    int percent;
  };
  const std::vector<Case> cases = {
      {0.7, 0.5, 35}, {0.7, 0.0, 0}, {0.7, 1.0, 70}, {0.5, 0.999, 49}, {0.0, 0.8, 0},
      // Out of range: clamped, never past the bar's ends.
      {0.7, 1e12, 70}, {0.7, 50.0, 70}, {0.7, -2.0, 0}, {0.7, std::nan(""), 0},
      {std::nan(""), 0.5, 0}, {1e300, 0.5, 50},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstallProgress(c.scale).DownloadPercent(c.fraction), c.percent)
        << c.scale << " " << c.fraction;
  }
}

// Each report moves the bar on by 0.15 of the installation's share up to
// 0.95 of it; a larger reported fraction wins.
TEST(InstallProgress, InstallationReportsAdvanceTheBar) {
  struct Case {
    const char* label;
    double scale;
    std::vector<double> reports;
    std::vector<int> percents;
  };
  const std::vector<Case> cases = {
      // 0.3 x 0.3 + 0.7 computes just below 0.79.
      {"default scale", 0.7, {0.0, 0.0, 0.5}, {74, 78, 85}},
      {"reports of nothing stop at 0.95", 0.7, {0, 0, 0, 0, 0, 0, 0, 0}, {74, 78, 83, 88, 92, 97, 98, 98}},
      {"a report never moves it back", 0.7, {0.9, 0.1}, {97, 98}},
      {"the whole installation", 0.7, {1.0}, {100}},
      {"no download share", 0.0, {0.0, 0.5}, {15, 50}},
      {"reports out of range", 0.7, {50.0, 1e12}, {100, 100}},
      {"not a number", 0.7, {std::nan(""), std::nan("")}, {74, 78}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    InstallProgress progress(c.scale);
    std::vector<int> percents;
    for (double report : c.reports) percents.push_back(progress.InstallPercent(report));
    EXPECT_EQ(percents, c.percents);
  }
}

TEST(InstallProgress, TemplateAndText) {
  EXPECT_EQ(FormatProgressText(ProgressTemplate(L"", 59.9f), 35), L"正在安装中:35%，请稍候...");
  EXPECT_EQ(FormatProgressText(ProgressTemplate(L"", 60.0f), 35), L"正在安装中:35%，请稍候...");
  EXPECT_EQ(FormatProgressText(ProgressTemplate(L"", 60.5f), 35), L"正在安装中:35%，请耐心等待...");
  EXPECT_EQ(FormatProgressText(ProgressTemplate(L"Installing %d%%", 90.0f), 7), L"Installing 7%");

  struct Case {
    std::wstring skinTemplate;
    std::wstring text;
  };
  const std::vector<Case> unusual = {
      {L"%d and %d", L"42 and %d"},       // a second number is never read
      {L"%s%n%x", L"%s%n%x"},             // other conversions are plain text
      {L"trailing %", L"trailing %"},
      {L"no number", L"no number"},
      {std::wstring(300, L'x') + L"%d", std::wstring(249, L'x')},  // a 250-character buffer
  };
  for (const Case& c : unusual) EXPECT_EQ(FormatProgressText(c.skinTemplate, 42), c.text);
}

}  // namespace
