#include "app/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "support/command_line_split.h"
#include "support/process_info.h"

namespace {

using Installer::InstallerSettings;

InstallerSettings Apply(const std::wstring& commandLine) {
  InstallerSettings settings;
  Installer::applyCommandLine(settings, Utils::SplitWindowsCommandLine(commandLine));
  return settings;
}

TEST(CommandLine, OptionTableKeepsTheFirstOccurrenceAndSplitsAtTheFirstEquals) {
  const Installer::OptionTable table = Installer::BuildOptionTable(
      {L"C:\\x\\TalvorinInstaller.exe", L"-downloadurl=http://h/a?x=1&y=2", L"-downloadtype=2",
       L"-downloadtype=3", L"-insnew", L"positional", L"-a=b=c"});
  EXPECT_EQ(table.at(L"-downloadurl"), L"http://h/a?x=1&y=2");
  EXPECT_EQ(table.at(L"-downloadtype"), L"2");
  EXPECT_EQ(table.at(L"-insnew"), L"");
  EXPECT_EQ(table.at(L"positional"), L"");
  EXPECT_EQ(table.at(L"C:\\x\\TalvorinInstaller.exe"), L"");
  EXPECT_EQ(table.at(L"-a"), L"b=c");
  EXPECT_EQ(table.size(), 6u);
}

TEST(CommandLine, RecognisedOptionsSetTheirFields) {
  const InstallerSettings s = Apply(
      L"TalvorinInstaller.exe -downloadurl=http://h/${ROUTE}/456?a=1=2 -downloadtype=2 "
      L"-downloadtype=3 -downloadscale=0.25 -ischecknet=true -isenableappanalytics=false "
      L"-dlappnamesuffix=.x -dlappversion=9 \"-instcmd=/D=C:\\Program Files\\T\" -language=3 "
      L"-insnew=true -silent=true \"-installdir=/tmp/my programs\"");
  EXPECT_EQ(s.downloadUrl, L"http://h/download_silent/456?a=1=2");
  EXPECT_EQ(s.downloadType, 2);
  EXPECT_EQ(s.downloadScale, 0.25);
  EXPECT_TRUE(s.isCheckNet);
  EXPECT_FALSE(s.isEnableAppAnalytics);
  EXPECT_EQ(s.dlAppNameSuffix, L".x");
  EXPECT_EQ(s.dlAppVersion, L"9");
  EXPECT_EQ(s.instCmd, L"/D=C:\\Program Files\\T");
  EXPECT_EQ(s.language, 3);
  EXPECT_TRUE(s.insNew);
  EXPECT_TRUE(s.silent);
  EXPECT_EQ(s.silentInstallDir, L"/tmp/my programs");
}

TEST(CommandLine, ValuesThatAreNotWhatTheyClaim) {
  struct Case {
    std::wstring commandLine;
    std::function<bool(const InstallerSettings&)> check;
    const char* what;
  };
  const Case cases[] = {
      {L"x -insnew", [](auto& s) { return !s.insNew; }, "a bare boolean is false"},
      {L"x -ischecknet=True", [](auto& s) { return !s.isCheckNet; }, "only exact true"},
      {L"x -Downloadurl=http://other/", [](auto& s) { return s.downloadUrl == Installer::kBuiltInPackageUrl; },
       "other capitals are another key"},
      {L"x -downloadurl", [](auto& s) { return s.downloadUrl.empty(); }, "a bare url empties it"},
      {L"x -downloadtype=abc", [](auto& s) { return s.downloadType == 0; }, "no digits give 0"},
      {L"x -downloadtype=99999999999", [](auto& s) { return s.downloadType == INT_MAX; }, "saturates"},
      {L"x -language=-99999999999", [](auto& s) { return s.language == INT_MIN; }, "saturates below"},
      {L"x -downloadscale=abc", [](auto& s) { return s.downloadScale == 0.0; }, "no number gives 0"},
      {L"x -downloadscale=nan", [](auto& s) { return s.downloadScale == 0.7; }, "NaN falls back"},
      {L"x -downloadscale=-inf", [](auto& s) { return s.downloadScale == 0.7; }, "infinity falls back"},
      {L"x -downloadscale=7", [](auto& s) { return s.downloadScale == 0.7; }, "beyond 1 falls back"},
      {L"x -silent", [](auto& s) { return !s.silent; }, "a bare -silent is false"},
      {L"x", [](auto& s) { return s.downloadType == 1 && s.language == -1 && !s.silent &&
                                  s.silentInstallDir.empty(); }, "nothing given"},
  };
  for (const Case& c : cases) EXPECT_TRUE(c.check(Apply(c.commandLine))) << c.what;
}

TEST(CommandLine, TheProcessArgumentsStartWithTheProgram) {
  const std::vector<std::wstring> arguments = Utils::GetProcessArguments();
  ASSERT_FALSE(arguments.empty());
  EXPECT_EQ(std::filesystem::path(arguments[0]).stem(),
            std::filesystem::path(Utils::GetExecutablePath()).stem());
}

}  // namespace
