#include "install/installer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/installer_settings.h"
#include "install/install_recorder.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::InstallRecorder;
using TestSupport::Received;

struct ParseCase {
  const wchar_t* name;
  std::wstring text;
  std::vector<Received> expected;
  int result;
};

// One table for the keys of the console protocol, in the order the runner
// tests them.
TEST(CInstallerParseTest, KeysValuesAndResults) {
  const ParseCase cases[] = {
      {L"three lines in one read", L"Progress=0.5\nProgress=1\nState=Success\n",
       {{2002, 0.5, L""}, {2002, 1, L""}, {2003, 0, L""}}, 1},
      {L"State trimmed, carriage return", L"State=  Success \r\n", {{2003, 0, L""}}, 1},
      {L"State in lower case", L"State=success\n", {}, 0},
      {L"State Fail", L"State=Fail", {{2004, 0, L"安装包安装失败"}}, 1000},
      {L"the first outcome wins", L"Error=disk full\nState=Success\nState=Success\n",
       {{2004, 1000, L"disk full"}}, 1000},
      {L"texts lose the carriage return", L"InstPath=C:\\T\r\nExePath=C:\\T\\t.exe\r\nUninstEp=u\r\nStartUrl=http://x\r\n",
       {{3000, 0, L"C:\\T"}, {3001, 0, L"C:\\T\\t.exe"}, {3003, 0, L"u"}, {3004, 0, L"http://x"}}, 0},
      {L"progress clamped to 0..1", L"Progress=1e12\nProgress=50\nProgress=-3\nProgress=nan\nProgress=0.25\n",
       {{2002, 1, L""}, {2002, 1, L""}, {2002, 0, L""}, {2002, 0, L""}, {2002, 0.25, L""}}, 0},
      {L"ExePath and StartExe", L"ExePath=a.exe\nStartExe=b.exe\n",
       {{3001, 0, L"a.exe"}, {3001, 0, L"b.exe"}}, 0},
      {L"UninstExePath and UninstExe", L"UninstExePath=u\nUninstExe=u\n",
       {{3002, 0, L"u"}, {3002, 0, L"u"}}, 0},
      {L"UninstEp, StartUrl, Message", L"UninstEp=e\nStartUrl=http://x\nMessage=hi\n",
       {{3003, 0, L"e"}, {3004, 0, L"http://x"}, {3009, 0, L"hi"}}, 0},
      {L"StartupStyle words", L"StartupStyle=AutoStartup\nStartupStyle= UserStartup\nStartupStyle=NonStartup\nStartupStyle=Other\n",
       {{3005, 1, L""}, {3005, 2, L""}, {3005, 0, L""}, {3005, 0, L""}}, 0},
      {L"detentions, -1 read unsigned", L"TopShowDetention=-1\nFinsihCloseDetention=2500\n",
       {{3007, 4294967295.0, L""}, {3008, 2500, L""}}, 0},
      {L"the English spelling is no key", L"FinishCloseDetention=1\n", {}, 0},
      {L"key not at the line start", L" Progress=0.5\nxState=Success\n", {}, 0},
      {L"a fragment without its key", L"ess\n", {}, 0},
      {L"empty values", L"InstPath=\nProgress=\n", {{3000, 0, L""}, {2002, 0, L""}}, 0},
      {L"InstallVersion sends nothing", L"InstallVersion=1.7.9\n", {}, 0},
  };
  for (const ParseCase& c : cases) {
    InstallRecorder recorder;
    CInstaller runner(recorder.Callback(), L"\"p\"", L"", true, true, true);
    EXPECT_EQ(runner.Parse(c.text), c.result) << c.name;
    const std::vector<Received> got = recorder.All();
    ASSERT_EQ(got.size(), c.expected.size()) << c.name;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].code, c.expected[i].code) << c.name << " #" << i;
      EXPECT_EQ(got[i].value, c.expected[i].value) << c.name << " #" << i;
      EXPECT_EQ(got[i].text, c.expected[i].text) << c.name << " #" << i;
    }
  }
}

TEST(CInstallerParseTest, EncodeSetsTheCodePageAndVersionIsKept) {
  InstallRecorder recorder;
  CInstaller runner(recorder.Callback(), L"\"p\"", L"", true, true, true);
  runner.Parse(L"Encode=936\n");
  EXPECT_EQ(runner.CodePage(), 936);
  runner.Parse(L"Encode=UTF8\r\n");
  EXPECT_EQ(runner.CodePage(), 65001);
  runner.Parse(L"Encode=GBK\n");
  EXPECT_EQ(runner.CodePage(), 0);
  runner.Parse(L"InstallVersion=2.10.345\n");
  EXPECT_EQ(runner.InstalledVersion()[0], 2);
  EXPECT_EQ(runner.InstalledVersion()[1], 10);
  EXPECT_EQ(runner.InstalledVersion()[2], 345);
  EXPECT_TRUE(recorder.All().empty());
}

TEST(CInstallerTest, CommandLineOfAnElevatedAdministrator) {
  InstallRecorder recorder;
  CInstaller runner(recorder.Callback(), L"\"C:\\T\\__Package_Talvorin.exe\"", L"", false, false, false);
  runner.Configure(L"F", true, true, true, true, L"zh-CN");
  EXPECT_EQ(runner.BuildCommandLine(),
            L"\"C:\\T\\__Package_Talvorin.exe\" /S -console=show -version=1.0.0 -adminact=true "
            L"-authorizationact=true -dsc=true -ssc=true -inslang=\"zh-CN\" -instdir=\"F\" /D=F");
  runner.Configure(L"", false, true, false, false, L"");
  EXPECT_EQ(runner.BuildCommandLine(),
            L"\"C:\\T\\__Package_Talvorin.exe\" /S -console=show -version=1.0.0 -adminact=false "
            L"-authorizationact=false -dsc=false -ssc=true");
}

// Runs the real demo package with the given switches into a new folder.
struct DemoRun {
  explicit DemoRun(const char* switches, const std::wstring& subfolder = L"Talvorin")
      : environment("TALVORIN_DEMO_PACKAGE", std::string(switches)), folder(temp.File(subfolder)) {
    CInstaller runner(recorder.Callback(), L"\"" + TestSupport::DemoPackagePath() + L"\"", L"",
                      true, true, false);
    runner.Configure(folder, true, true, false, false, L"zh-CN");
    runner.Run();
    EXPECT_TRUE(recorder.WaitFor({2003, 2004}));
  }  // the runner waits for its worker here

  TestSupport::ScopedEnvironmentVariable environment;
  TestSupport::TempDir temp;
  std::wstring folder;
  InstallRecorder recorder;
};

TEST(CInstallerRunTest, DemoPackageInstallsAndReportsItsFacts) {
  DemoRun run("");
  const auto codes = run.recorder.CodesWithoutProgress();
  EXPECT_EQ(codes, (std::vector<std::int32_t>{2001, 3000, 3001, 3002, 3003, 3004, 3005, 2003}));
  EXPECT_EQ(run.recorder.All().at(1).code, 2002);
  EXPECT_EQ(run.recorder.All().at(1).value, 0.0);
  EXPECT_EQ(run.recorder.With(2002).back().value, 1.0);
  EXPECT_EQ(run.recorder.With(2003).at(0).value, 0.0);
  EXPECT_EQ(run.recorder.TextOf(3000), run.folder);
  const std::wstring sep(1, Utils::kPathSeparator);
  EXPECT_EQ(run.recorder.TextOf(3001), run.folder + sep + L"talvorin..exe");
  EXPECT_EQ(run.recorder.TextOf(3003), run.folder + sep + L"uninst.ep");
  EXPECT_EQ(run.recorder.With(3005).at(0).value, 2.0);
  EXPECT_TRUE(Utils::FileExists(run.folder + sep + L"talvorin..exe"));
  EXPECT_TRUE(Utils::FileExists(run.folder + sep + L"uninst.ep"));
  EXPECT_EQ(TestSupport::ReadFileBytes(run.folder + sep + L"talvorin.dat").size(), 1200000u);
}

struct OutcomeCase {
  const char* switches;
  std::int32_t code;
  double value;
  const wchar_t* text;
};

// How the package ends decides the outcome; a line split across writes, or a
// last line without its line feed, is judged whole.
TEST(CInstallerRunTest, OutcomeOfEachWayThePackageEnds) {
  const OutcomeCase cases[] = {
      {"fail", 2004, 0, L"安装包安装失败"},
      {"error=disk full", 2004, 1000, L"disk full"},
      {"silent,exit=3", 2003, 1, L""},
      {"split,fail", 2004, 0, L"安装包安装失败"},
      {"split", 2003, 0, L""},
      {"fail,no-final-newline", 2004, 0, L"安装包安装失败"},
      {"split,fail,no-final-newline", 2004, 0, L"安装包安装失败"},
      {"crash", 2004, 3, L"安装包异常退出"},
      {"finals=Fail+Success", 2004, 0, L"安装包安装失败"},
      {"finals=Success+Success", 2003, 0, L""},
      {"crlf,finals=Fail+Success", 2004, 0, L"安装包安装失败"},
  };
  for (const OutcomeCase& c : cases) {
    DemoRun run(c.switches);
    const auto outcomes = [&] {
      std::vector<Received> found = run.recorder.With(2003);
      for (const Received& r : run.recorder.With(2004)) found.push_back(r);
      return found;
    }();
    ASSERT_EQ(outcomes.size(), 1u) << c.switches;
    EXPECT_EQ(outcomes[0].code, c.code) << c.switches;
    EXPECT_EQ(outcomes[0].value, c.value) << c.switches;
    EXPECT_EQ(outcomes[0].text, c.text) << c.switches;
  }
}

// A package that leaves a process behind holding its output: the run ends
// with the package, not with the output, whether a final line came or not.
TEST(CInstallerRunTest, ProcessLeftHoldingTheOutputIsNotWaitedFor) {
  for (const char* switches : {"leave-child=60000", "silent,leave-child=60000"}) {
    SCOPED_TRACE(switches);
    DemoRun run(switches);
    const std::wstring sep(1, Utils::kPathSeparator);
    EXPECT_EQ(run.recorder.With(2003).size(), 1u);
    EXPECT_TRUE(run.recorder.With(2004).empty());
    // The run is over while the left process still runs.
    EXPECT_TRUE(Utils::FileExists(run.folder + sep + L"lingering.txt"));
  }
}

TEST(CInstallerRunTest, SplitProgressLinesArriveWhole) {
  DemoRun run("split");
  std::vector<double> progress;
  for (const Received& r : run.recorder.With(2002)) progress.push_back(r.value);
  ASSERT_EQ(progress.size(), 13u);  // the runner's 0, then the package's twelve lines
  EXPECT_EQ(progress[1], 0.05);
  EXPECT_EQ(progress[2], 0.13);
  EXPECT_EQ(run.recorder.TextOf(3000), run.folder);
}

TEST(CInstallerRunTest, EncodeSwitchesTheDecodingOfTheFollowingLines) {
  for (const char* encoding : {"UTF8", "936"}) {
    DemoRun run((std::string("encode=") + encoding).c_str());
    EXPECT_EQ(run.recorder.TextOf(3009), L"中文") << encoding;
    EXPECT_EQ(run.recorder.With(2003).size(), 1u) << encoding;
  }
}

TEST(CInstallerRunTest, ExtraSwitchesOfTheSettingsReachThePackage) {
  Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
  const std::wstring saved = settings.instCmd;
  settings.instCmd = L"-demo=error=from-instcmd";
  DemoRun run("");
  settings.instCmd = saved;
  EXPECT_EQ(run.recorder.TextOf(2004), L"from-instcmd");
}

TEST(CInstallerRunTest, FolderWithAQuoteIsRefusedAndThePackageNeverRuns) {
  InstallRecorder recorder;
  TestSupport::TempDir temp;
  const std::wstring folder = temp.File(L"a\" -demo=fail x");
  {
    CInstaller runner(recorder.Callback(), L"\"" + TestSupport::DemoPackagePath() + L"\"", L"",
                      true, true, false);
    runner.Configure(folder, true, true, false, false, L"");
    runner.Run();
    ASSERT_TRUE(recorder.WaitFor({2003, 2004}));
  }
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{2001, 2004}));
  EXPECT_EQ(recorder.With(2004).at(0).value, 2.0);
  EXPECT_FALSE(Utils::DirectoryExists(folder));
}

#ifndef _WIN32
// A package in a folder whose file system forbids running programs fails to
// start, and the failure says why.
TEST(CInstallerRunTest, PackageInANoexecFolderSaysWhyItCannotRun) {
  TestSupport::TempDir temp;
  const std::string mountPoint = Utils::ToNarrow(temp.File(L"noexec"), Utils::kCodePageAnsi);
  std::filesystem::create_directory(mountPoint);
  if (std::system(("mount -t tmpfs -o noexec,size=8m tmpfs '" + mountPoint + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "no right to mount a file system here";
  }
  const std::wstring folder = temp.File(L"noexec") + L"/Talvorin";
  std::filesystem::create_directory(Utils::ToNarrow(folder, Utils::kCodePageAnsi));
  const std::wstring package = folder + L"/__Package_Talvorin.exe";
  std::filesystem::copy_file(Utils::ToNarrow(TestSupport::DemoPackagePath(), Utils::kCodePageAnsi),
                             Utils::ToNarrow(package, Utils::kCodePageAnsi));
  InstallRecorder recorder;
  {
    CInstaller runner(recorder.Callback(), L"\"" + package + L"\"", L"", true, true, false);
    runner.Configure(folder, true, true, false, false, L"");
    runner.Run();
    EXPECT_TRUE(recorder.WaitFor({2003, 2004}));
  }
  (void)!std::system(("umount '" + mountPoint + "'").c_str());
  ASSERT_EQ(recorder.With(2004).size(), 1u);
  EXPECT_EQ(recorder.With(2004).at(0).value, 2.0);
  EXPECT_EQ(recorder.With(2004).at(0).text, kNoProgramsInFolderText);
}
#endif

TEST(CInstallerRunTest, MissingPackageFailsToStart) {
  InstallRecorder recorder;
  TestSupport::TempDir temp;
  {
    CInstaller runner(recorder.Callback(), L"\"" + temp.File(L"none.exe") + L"\"", L"", true, true, false);
    runner.Configure(temp.File(L"T"), true, true, false, false, L"");
    runner.Run();
    ASSERT_TRUE(recorder.WaitFor({2003, 2004}));
  }
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{2001, 2004}));
  EXPECT_EQ(recorder.With(2004).at(0).value, 2.0);
  EXPECT_EQ(recorder.With(2004).at(0).text, L"");
}

}  // namespace
