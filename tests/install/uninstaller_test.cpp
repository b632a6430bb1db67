#include "install/uninstaller.h"

#include <gtest/gtest.h>

#include "install/install_recorder.h"
#include "install/installer.h"
#include "install/file_operations.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"
#include "test_support.h"

namespace {

using TestSupport::InstallRecorder;
using TestSupport::Received;

TEST(UnInstallerParseTest, TheRemoversKeys) {
  struct Case {
    const wchar_t* text;
    std::vector<Received> expected;
    int result;
  };
  const Case cases[] = {
      {L"Progress=0.25\n", {{5002, 0.25, L""}}, 0},
      {L"State= Success\r\n", {{5003, 0, L""}}, 1},
      {L"State=Fail\n", {{5005, 0, L"安装包卸载失败"}}, 1000},
      {L"Error=in use\r\n", {{5005, 0, L"in use"}}, 1000},
      {L"Progress=7\nProgress=nan\n", {{5002, 1, L""}, {5002, 0, L""}}, 0},
      {L"State=Done\nInstPath=x\nMessage=m\nExePath=y\n", {}, 0},
      {L"Error=a\nState=Success", {{5005, 0, L"a"}}, 1000},
  };
  for (const Case& c : cases) {
    InstallRecorder recorder;
    UnInstaller remover(recorder.Callback(), L"u", L"f");
    EXPECT_EQ(remover.Parse(c.text), c.result) << c.text;
    const std::vector<Received> got = recorder.All();
    ASSERT_EQ(got.size(), c.expected.size()) << c.text;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].code, c.expected[i].code) << c.text;
      EXPECT_EQ(got[i].value, c.expected[i].value) << c.text;
      EXPECT_EQ(got[i].text, c.expected[i].text) << c.text;
    }
  }
}

TEST(UnInstallerParseTest, EncodeKnowsOnlyUtf8) {
  InstallRecorder recorder;
  UnInstaller remover(recorder.Callback(), L"u", L"f");
  remover.Parse(L"Encode=UTF8\n");
  EXPECT_EQ(remover.CodePage(), 65001);
  remover.Parse(L"Encode=936\n");
  EXPECT_EQ(remover.CodePage(), 0);
}

TEST(UnInstallerTest, FolderGoesLastAndUnquoted) {
  InstallRecorder recorder;
  UnInstaller remover(recorder.Callback(), L"C:\\cache\\Talvorin_un_asa.exe", L"C:\\Program Files\\Talvorin");
  std::wstring user;
  const bool admin = Utils::GetActiveSessionUser(user) && !user.empty() && Utils::IsAdminAccount(user);
  EXPECT_EQ(remover.BuildCommandLine(),
            std::wstring(L"C:\\cache\\Talvorin_un_asa.exe /S -adminact=") + (admin ? L"true" : L"false") +
                L" -authorizationact=" + (Utils::IsRunAsAdmin() ? L"true" : L"false") +
                L" -console=show _?=C:\\Program Files\\Talvorin");
}

// A demo installation in a folder with a blank, and a copy of its
// uninstaller outside it, as the orchestrator makes one.
struct DemoInstallation {
  DemoInstallation() : folder(temp.File(L"Old Talvorin")) {
    InstallRecorder recorder;
    {
      CInstaller runner(recorder.Callback(), L"\"" + TestSupport::DemoPackagePath() + L"\"", L"",
                        true, true, false);
      runner.Configure(folder, true, true, false, false, L"");
      runner.Run();
      EXPECT_TRUE(recorder.WaitFor({2003, 2004}));
    }
    copy = temp.File(L"Talvorin_un_asa.exe");
    EXPECT_TRUE(Installer::CopyFileReplacing(folder + Utils::kPathSeparator + L"uninst.ep", copy));
  }
  std::vector<Received> Remove(const char* switches) {
    TestSupport::ScopedEnvironmentVariable environment("TALVORIN_DEMO_UNINSTALL", std::string(switches));
    InstallRecorder recorder;
    {
      UnInstaller remover(recorder.Callback(), copy, folder);
      remover.Run();
      EXPECT_TRUE(recorder.WaitFor({5003, 5004, 5005}));
    }  // waits for the worker, and so for the uninstaller's end
    return recorder.All();
  }
  TestSupport::TempDir temp;
  std::wstring folder;
  std::wstring copy;
};

std::vector<std::int32_t> Codes(const std::vector<Received>& received) {
  std::vector<std::int32_t> codes;
  for (const Received& r : received) codes.push_back(r.code);
  return codes;
}

TEST(UnInstallerRunTest, RemovesTheFolderWithBlanksInItsName) {
  DemoInstallation old;
  const std::vector<Received> got = old.Remove("");
  EXPECT_EQ(Codes(got), (std::vector<std::int32_t>{5002, 5002, 5002, 5003}));
  EXPECT_EQ(got.at(0).value, 0.0);
  EXPECT_EQ(got.at(1).value, 0.1);
  EXPECT_EQ(got.back().value, 0.0);
  EXPECT_FALSE(Utils::DirectoryExists(old.folder));
}

TEST(UnInstallerRunTest, OutcomesOfTheUninstaller) {
  struct Case {
    const char* switches;
    std::vector<std::int32_t> codes;
    double lastValue;
    bool folderLeft;
  };
  const Case cases[] = {
      {"fail", {5002, 5002, 5005}, 0, true},
      {"error=in use", {5002, 5002, 5005}, 0, true},
      // Success said at once, the uninstaller still running: no second 5003.
      {"linger=700", {5002, 5002, 5002, 5003}, 0, false},
      // Lines split across writes are judged whole, also the last ones,
      // which are still in the pipe when the uninstaller has ended.
      {"split", {5002, 5002, 5002, 5003}, 0, false},
      {"silent", {5002, 5003}, 1, false},
      {"silent-end", {5002, 5002, 5002, 5003}, 1, false},
  };
  for (const Case& c : cases) {
    DemoInstallation old;
    const std::vector<Received> got = old.Remove(c.switches);
    EXPECT_EQ(Codes(got), c.codes) << c.switches;
    EXPECT_EQ(got.back().value, c.lastValue) << c.switches;
    EXPECT_EQ(Utils::DirectoryExists(old.folder), c.folderLeft) << c.switches;
  }
}

TEST(UnInstallerRunTest, MissingUninstaller) {
  TestSupport::TempDir temp;
  InstallRecorder recorder;
  {
    UnInstaller remover(recorder.Callback(), temp.File(L"gone.exe"), temp.path());
    remover.Run();
    ASSERT_TRUE(recorder.WaitFor({5004}));
  }
  const std::vector<Received> got = recorder.All();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].value, 1.0);
  EXPECT_EQ(got[0].text, L"可执行卸载文件不存在");
}

}  // namespace
