#include "app/progress_line.h"

#include <gtest/gtest.h>

namespace {

using Installer::InstallStage;

TEST(ProgressLine, BarAndPlainLines) {
  struct Case {
    int percent;
    InstallStage stage;
    const char* bar;
    const char* plain;
  };
  const Case cases[] = {
      {0, InstallStage::Downloading, "\r[..........]   0% downloading                 ", "downloading: 0%\n"},
      {35, InstallStage::Downloading, "\r[###.......]  35% downloading                 ", "downloading: 35%\n"},
      {100, InstallStage::Installing, "\r[##########] 100% installing                  ", "installing: 100%\n"},
      {-5, InstallStage::Removing, "\r[..........]   0% removing the earlier version",
       "removing the earlier version: 0%\n"},
      {250, InstallStage::Installing, "\r[##########] 100% installing                  ", "installing: 100%\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Installer::ProgressBarLine(c.percent, c.stage, 10), c.bar) << c.percent;
    EXPECT_EQ(Installer::ProgressPlainLine(c.percent, c.stage), c.plain) << c.percent;
  }
}

TEST(ProgressLine, ThePrinterWritesOnlyChangesAndClosesAnOpenBar) {
  Installer::ProgressPrinter plain(false);
  EXPECT_EQ(plain.Update(10, InstallStage::Downloading), "downloading: 10%\n");
  EXPECT_EQ(plain.Update(10, InstallStage::Downloading), "");
  EXPECT_EQ(plain.Update(10, InstallStage::Installing), "installing: 10%\n");
  EXPECT_EQ(plain.EndLine(), "");  // plain lines end themselves

  Installer::ProgressPrinter terminal(true);
  EXPECT_EQ(terminal.EndLine(), "");
  EXPECT_EQ(terminal.Update(40, InstallStage::Downloading).substr(0, 2), "\r[");
  EXPECT_EQ(terminal.Update(40, InstallStage::Downloading), "");
  EXPECT_EQ(terminal.EndLine(), "\n");
  EXPECT_EQ(terminal.EndLine(), "");
}

}  // namespace
