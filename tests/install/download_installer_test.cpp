// The orchestrator driven as the window drives it, against the real package
// server and the real demo package, uninstaller and product. The recorder
// stands for the window's callback: it receives every notification.
#include "install/download_installer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "download/download_failure.h"
#include "support/installer_settings.h"
#include "install/file_operations.h"
#include "install/install_recorder.h"
#include "install/installation_records.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/system_probes.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"
#ifdef _WIN32
#include "signing_root.h"
#endif

namespace {

using TestSupport::InstallRecorder;
using TestSupport::PackageServer;
using TestSupport::Received;

const std::wstring kSep(1, Utils::kPathSeparator);
const std::vector<std::int32_t> kEnds = {2003, 2004, 1004, 5004, 5005};

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }

// The demo package's address on the server, with extra scenario options.
std::wstring PackageUrl(const std::string& options = "") {
  return Wide(PackageServer::Shared().EntryUrl(PackageServer::NewId("install") + ";file=" +
                                               TestSupport::DemoPackageFileName() + options));
}

// Puts the settings the tests change back as they were.
struct SettingsGuard {
  Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
  Installer::InstallerSettings saved = settings;
  ~SettingsGuard() { settings = saved; }
};

struct Job {
  std::wstring url;
  std::wstring previousUninstaller;
  std::wstring folder;
};

// One installation as the window runs it: configure, start, and wait for
// the end. The orchestrator is released before the result is looked at, so
// its workers (and their reactions) have all finished.
std::vector<Received> Install(const Job& job, InstallRecorder& recorder) {
  {
    CDownloadInstaller installer(recorder.Callback());
    installer.Configure(job.url, L"", job.previousUninstaller, job.folder, true, true, false, false,
                        L"zh-CN");
    EXPECT_TRUE(installer.Start());
    EXPECT_TRUE(recorder.WaitFor(kEnds));
  }
  return recorder.All();
}

std::wstring PackageIn(const std::wstring& folder) { return folder + kSep + L"__Package_Talvorin.exe"; }

// An earlier demo installation, made by the orchestrator itself.
std::wstring InstallEarlier(const std::wstring& folder) {
  InstallRecorder recorder;
  Install({PackageUrl(), L"", folder}, recorder);
  EXPECT_EQ(recorder.With(2003).size(), 1u);
  return folder + kSep + L"uninst.ep";
}

std::string PrivateTempFolder(const TestSupport::TempDir& temp) {
  const std::wstring folder = temp.File(L"tmp");
  EXPECT_TRUE(Utils::CreateDirectories(folder));
  return Utils::ToNarrow(folder, Utils::kCodePageAnsi);
}

class CDownloadInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error(); }
  SettingsGuard settings;
  TestSupport::TempDir temp;
  // Only a product started in this test's folder counts as running, and the
  // uninstaller's copy goes to a cache folder of this test's own: tests
  // running side by side neither see nor overwrite each other's programs.
  TestSupport::ScopedEnvironmentVariable scope{
      "TALVORIN_PROCESS_SCOPE", Utils::ToNarrow(temp.path(), Utils::kCodePageAnsi)};
  std::string ownTemp = PrivateTempFolder(temp);
  TestSupport::ScopedEnvironmentVariable ownTmpdir{"TMPDIR", ownTemp};
  TestSupport::ScopedEnvironmentVariable ownTmp{"TMP", ownTemp};
  TestSupport::ScopedEnvironmentVariable ownTempVariable{"TEMP", ownTemp};
};

TEST_F(CDownloadInstallerTest, FreshInstallation) {
  const std::wstring folder = temp.File(L"Program Files") + kSep + L"Talvorin";
  InstallRecorder recorder;
  // Paced, so that the download lasts long enough to report its progress.
  const std::vector<Received> got = Install({PackageUrl(";throttle=1000000"), L"", folder}, recorder);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front().code, 1001);
  EXPECT_EQ(recorder.CodesWithoutProgress(),
            (std::vector<std::int32_t>{1001, 1003, 2001, 3000, 3001, 3002, 3003, 3004, 3005, 2003}));
  EXPECT_FALSE(recorder.With(1002).empty());
  EXPECT_GE(recorder.With(2002).size(), 3u);
  EXPECT_EQ(recorder.TextOf(3000), folder);
  EXPECT_EQ(recorder.TextOf(3001), folder + kSep + L"talvorin..exe");
  EXPECT_EQ(recorder.TextOf(3003), folder + kSep + L"uninst.ep");
  EXPECT_FALSE(Utils::FileExists(PackageIn(folder)));
  EXPECT_EQ(LastPackagePath(), PackageIn(folder));
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat").size(), 1200000u);
}

TEST_F(CDownloadInstallerTest, UpgradeRemovesTheEarlierInstallationFirst) {
  const std::wstring oldFolder = temp.File(L"Old Talvorin");
  const std::wstring uninstaller = InstallEarlier(oldFolder);
  const std::wstring folder = temp.File(L"New");
  InstallRecorder recorder;
  const std::vector<Received> got = Install({PackageUrl(), uninstaller, folder}, recorder);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front().code, 5002);
  EXPECT_EQ(got.front().value, 0.0);
  EXPECT_EQ(recorder.CodesWithoutProgress(),
            (std::vector<std::int32_t>{5003, 1001, 1003, 2001, 3000, 3001, 3002, 3003, 3004, 3005, 2003}));
  EXPECT_FALSE(Utils::DirectoryExists(oldFolder));
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
  // The copy the remover ran stays in the cache folder.
  EXPECT_TRUE(Utils::FileExists(Utils::GetCacheFolder() + L"Talvorin_un_asa.exe"));
}

// The window's rule: reinstalling into the recorded folder whose set.ini says
// "IsOverride" "false" hands the orchestrator no uninstaller.
TEST_F(CDownloadInstallerTest, OverrideFalseInTheChosenOldFolderRemovesNothing) {
  const std::wstring folder = temp.File(L"Talvorin");
  std::wstring uninstaller;
  {
    TestSupport::ScopedEnvironmentVariable keep("TALVORIN_DEMO_PACKAGE", std::string("override=false"));
    uninstaller = InstallEarlier(folder);
  }
  Installer::InstallationRecords records;
  records.recordedFolder = folder;
  records.recordedUninstaller = uninstaller;
  ASSERT_TRUE(records.KeepsEarlierInstallation(folder));
  InstallRecorder recorder;
  Install({PackageUrl(), records.KeepsEarlierInstallation(folder) ? L"" : uninstaller, folder}, recorder);
  EXPECT_EQ(recorder.All().front().code, 1001);
  EXPECT_TRUE(recorder.With(5002).empty());
  EXPECT_EQ(recorder.With(2003).size(), 1u);
}

TEST_F(CDownloadInstallerTest, VanishedUninstallerMeansNoRemoval) {
  const std::wstring folder = temp.File(L"T");
  InstallRecorder recorder;
  Install({PackageUrl(), temp.File(L"Old") + kSep + L"uninst.ep", folder}, recorder);
  EXPECT_EQ(recorder.All().front().code, 1001);
  EXPECT_TRUE(recorder.With(5002).empty());
  EXPECT_EQ(recorder.With(2003).size(), 1u);
}

TEST_F(CDownloadInstallerTest, FailingUninstallerStopsBeforeTheDownload) {
  const std::wstring oldFolder = temp.File(L"Old");
  const std::wstring uninstaller = InstallEarlier(oldFolder);
  TestSupport::ScopedEnvironmentVariable fail("TALVORIN_DEMO_UNINSTALL", std::string("fail"));
  const std::wstring folder = temp.File(L"New");
  InstallRecorder recorder;
  Install({PackageUrl(), uninstaller, folder}, recorder);
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{5005}));
  EXPECT_EQ(recorder.TextOf(5005), L"安装包卸载失败");
  EXPECT_FALSE(Utils::FileExists(PackageIn(folder)));
  EXPECT_TRUE(Utils::DirectoryExists(oldFolder));
}

// The uninstaller cannot be copied into the cache folder (a folder stands
// where the copy goes): the remover reports it missing, nothing is run and
// nothing downloaded.
TEST_F(CDownloadInstallerTest, UninstallerThatCannotBeCopiedIsReportedMissing) {
  const std::wstring oldFolder = temp.File(L"Old");
  const std::wstring uninstaller = InstallEarlier(oldFolder);
  const std::string tempFolder = Utils::ToNarrow(temp.File(L"tmp"), Utils::kCodePageAnsi);
  ASSERT_TRUE(Utils::CreateDirectories(temp.File(L"tmp")));
  TestSupport::ScopedEnvironmentVariable tmpdir("TMPDIR", tempFolder);
  TestSupport::ScopedEnvironmentVariable tmp("TMP", tempFolder);
  const std::wstring cache = Utils::GetCacheFolder();
  ASSERT_EQ(cache.rfind(temp.File(L"tmp"), 0), 0u) << Utils::ToNarrow(cache, Utils::kCodePageUtf8);
  ASSERT_TRUE(Utils::CreateDirectories(cache + L"Talvorin_un_asa.exe"));
  const std::wstring folder = temp.File(L"New");
  InstallRecorder recorder;
  Install({PackageUrl(), uninstaller, folder}, recorder);
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{5004}));
  EXPECT_EQ(recorder.With(5004).at(0).value, 1.0);
  EXPECT_EQ(recorder.TextOf(5004), L"可执行卸载文件不存在");
  EXPECT_TRUE(Utils::DirectoryExists(oldFolder));
  EXPECT_FALSE(Utils::FileExists(PackageIn(folder)));
}

TEST_F(CDownloadInstallerTest, FailingDownloadDeletesThePackageFilesAndRemembersThePath) {
  // A leftover of an earlier failure is deleted with the next one.
  const std::wstring first = temp.File(L"First");
  InstallRecorder firstRecorder;
  Install({PackageUrl(";get-status=404"), L"", first}, firstRecorder);
  EXPECT_EQ(firstRecorder.CodesWithoutProgress(), (std::vector<std::int32_t>{1001, 1004}));
  EXPECT_EQ(LastPackagePath(), PackageIn(first));
  ASSERT_TRUE(TestSupport::WriteFileBytes(PackageIn(first), "leftover"));

  const std::wstring second = temp.File(L"Second");
  InstallRecorder recorder;
  Install({PackageUrl(";get-status=404"), L"", second}, recorder);
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{1001, 1004}));
  EXPECT_FALSE(Utils::FileExists(PackageIn(second)));
  EXPECT_FALSE(Utils::FileExists(PackageIn(first)));
  EXPECT_EQ(LastPackagePath(), PackageIn(second));
  EXPECT_TRUE(Utils::DirectoryExists(second));  // made at 1001
}

TEST_F(CDownloadInstallerTest, PackageOutcomes) {
  struct Case {
    const char* switches;
    std::int32_t code;
    double value;
    const wchar_t* text;
  };
  const Case cases[] = {
      {"error=no room", 2004, 1000, L"no room"},
      {"fail", 2004, 0, L"安装包安装失败"},
      {"silent", 2003, 1, L""},
  };
  for (const Case& c : cases) {
    TestSupport::ScopedEnvironmentVariable behaviour("TALVORIN_DEMO_PACKAGE", std::string(c.switches));
    const std::wstring folder = temp.File(Wide(c.switches).substr(0, 4));
    InstallRecorder recorder;
    Install({PackageUrl(), L"", folder}, recorder);
    const std::vector<Received> outcome = recorder.With(c.code);
    ASSERT_EQ(outcome.size(), 1u) << c.switches;
    EXPECT_EQ(outcome[0].value, c.value) << c.switches;
    EXPECT_EQ(outcome[0].text, c.text) << c.switches;
    EXPECT_EQ(recorder.With(c.code == 2003 ? 2004 : 2003).size(), 0u) << c.switches;
    EXPECT_FALSE(Utils::FileExists(PackageIn(folder))) << c.switches;
  }
}

TEST_F(CDownloadInstallerTest, FolderNoWindowsPathMayHoldIsRefused) {
  for (const wchar_t* name : {L"a\"b", L"a|b", L"a?b", L"a*b", L"a<b"}) {
    InstallRecorder recorder;
    CDownloadInstaller installer(recorder.Callback());
    installer.Configure(PackageUrl(), L"", L"", temp.File(name), true, true, false, false, L"");
    EXPECT_FALSE(installer.Start()) << name;
    EXPECT_TRUE(recorder.All().empty()) << name;
  }
}

// With "insNew" the removal waits while the product runs, but Start does
// not: the caller stays free, and the installation goes on once the
// product has ended.
TEST_F(CDownloadInstallerTest, InsNewWaitsForTheRunningProductWithoutBlockingTheCaller) {
  const std::wstring oldFolder = temp.File(L"Old");
  const std::wstring uninstaller = InstallEarlier(oldFolder);
  const std::wstring marker = temp.File(L"product-runs");
  ASSERT_TRUE(TestSupport::WriteFileBytes(marker, "x"));
  Utils::ChildProcess product;
  product.Start(L"\"" + oldFolder + kSep + L"talvorin..exe\" \"-stay-while=" + marker + L"\"");
  for (int i = 0; i < 200 && Utils::FindProcessId(kProductExecutableName) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_NE(Utils::FindProcessId(kProductExecutableName), 0u);

  settings.settings.insNew = true;
  const std::wstring folder = temp.File(L"New");
  InstallRecorder recorder;
  {
    CDownloadInstaller installer(recorder.Callback());
    installer.Configure(PackageUrl(), L"", uninstaller, folder, true, true, false, false, L"");
    ASSERT_TRUE(installer.Start());
    EXPECT_TRUE(installer.IsWaitingForProduct());
    // Nothing starts while the product runs.
    EXPECT_FALSE(recorder.WaitFor({5002}, std::chrono::seconds(1)));
    EXPECT_TRUE(installer.IsWaitingForProduct());
    ASSERT_TRUE(Installer::DeleteFileQuietly(marker));
    product.WaitForExit();
    EXPECT_TRUE(recorder.WaitFor(kEnds));
  }
  product.Close();
  const std::vector<Received> got = recorder.All();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front().code, 5002);
  EXPECT_EQ(recorder.With(2003).size(), 1u);
  EXPECT_FALSE(Utils::DirectoryExists(oldFolder));
}

TEST_F(CDownloadInstallerTest, WaitForTheProductCanBeCancelled) {
  const std::wstring oldFolder = temp.File(L"Old");
  const std::wstring uninstaller = InstallEarlier(oldFolder);
  const std::wstring marker = temp.File(L"product-runs");
  ASSERT_TRUE(TestSupport::WriteFileBytes(marker, "x"));
  Utils::ChildProcess product;
  product.Start(L"\"" + oldFolder + kSep + L"talvorin..exe\" \"-stay-while=" + marker + L"\"");
  for (int i = 0; i < 200 && Utils::FindProcessId(kProductExecutableName) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  settings.settings.insNew = true;
  InstallRecorder recorder;
  {
    CDownloadInstaller installer(recorder.Callback());
    installer.Configure(PackageUrl(), L"", uninstaller, temp.File(L"New"), true, true, false, false, L"");
    ASSERT_TRUE(installer.Start());
    EXPECT_TRUE(installer.IsWaitingForProduct());
    installer.CancelWait();
    EXPECT_FALSE(installer.IsWaitingForProduct());
  }
  Installer::DeleteFileQuietly(marker);
  product.WaitForExit();
  product.Close();
  EXPECT_TRUE(recorder.All().empty());
  EXPECT_TRUE(Utils::DirectoryExists(oldFolder));
}

// "PackagePublisher" with the real demo package, downloaded from the package
// server and run as a real child process when it passes.
class SignedPackageInstallTest : public CDownloadInstallerTest {};

TEST_F(SignedPackageInstallTest, OnlyThePublishersPackageRuns) {
  settings.settings.packagePublisher = L"Talvorin Test Publisher";
  struct Case {
    std::string file;
    bool installs;
  };
#ifdef _WIN32
  // The root is trusted for the whole test: the package signed by the test
  // publisher installs; unsigned, altered after signing, or signed by
  // another publisher, it never runs.
  TestSupport::TrustedSigningRoot root;
  ASSERT_EQ(root.Error(), "");
  const Case cases[] = {
      {"talvorin-demo-package-signed.exe", true},
      {"talvorin-demo-package.exe", false},
      {"talvorin-demo-package-altered.exe", false},
      {"talvorin-demo-package-other-publisher.exe", false},
  };
#else
  // Signatures are not verified here: the key is ignored with a log line.
  const Case cases[] = {{TestSupport::DemoPackageFileName(), true}};
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::wstring folder = temp.File(Wide(c.file));
    std::vector<std::wstring> lines;
    std::mutex linesMutex;
    InstallRecorder recorder;
    {
      Utils::LogCapture capture([&](const std::wstring& line) {
        std::lock_guard<std::mutex> lock(linesMutex);
        lines.push_back(line);
      });
      const std::wstring url =
          Wide(PackageServer::Shared().EntryUrl(PackageServer::NewId("publisher") + ";file=" + c.file));
      Install({url, L"", folder}, recorder);
    }
    auto logged = [&](const std::wstring& text) {
      return std::any_of(lines.begin(), lines.end(),
                         [&](const std::wstring& line) { return line.find(text) != std::wstring::npos; });
    };
    EXPECT_FALSE(Utils::FileExists(PackageIn(folder)));
    if (c.installs) {
      EXPECT_EQ(recorder.CodesWithoutProgress().back(), 2003);
      EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
#ifdef _WIN32
      EXPECT_TRUE(logged(L"signed by the publisher \"Talvorin Test Publisher\""));
#else
      EXPECT_TRUE(logged(L"PackagePublisher \"Talvorin Test Publisher\" is ignored"));
#endif
      continue;
    }
    EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{1001, 1004}));
    const DownloadFailure failure = ParseFailureNotificationText(recorder.TextOf(1004));
    EXPECT_EQ(failure.kind, FailureClass::kPublisherRefused);
    EXPECT_EQ(failure.host, L"Talvorin Test Publisher");
    EXPECT_TRUE(recorder.With(2001).empty()) << "the package never started";
    EXPECT_FALSE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
    EXPECT_TRUE(logged(L"the package is refused"));
  }
}

}  // namespace
