// The real installer program, started as a child process in unattended mode,
// against the real package server, the real collector and the real demo
// package. Each run gets a copy of the program in a folder of its own, with
// the settings file beside it that points it at the two servers.
#include "app/entry.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "analytics/collector_fixture.h"
#include "app/single_instance.h"
#include "app/unattended_install.h"
#include "install/download_installer.h"
#include "install/file_operations.h"
#include "install/install_recorder.h"
#include "install/record_store.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::Collector;
using TestSupport::PackageServer;
using TestSupport::ScopedEnvironmentVariable;

const std::wstring kSep(1, Utils::kPathSeparator);

#ifdef _WIN32
constexpr wchar_t kInstallerFileName[] = L"TalvorinInstaller.exe";
constexpr std::uint32_t kRefusedSecondCopy = 0xFFFFFFFFu;
#else
constexpr wchar_t kInstallerFileName[] = L"talvorin-installer";
constexpr std::uint32_t kRefusedSecondCopy = 255;  // -1 as a POSIX exit status
#endif

#ifndef _WIN32
std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }
std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }
#endif

// Runs of the real program keep to one at a time across test programs: the
// program's own lock is one per machine on Windows, and a product started by
// one test would stop another test's installation.
class RunsOneAtATime {
 public:
  RunsOneAtATime() {
    for (int i = 0; i < 3000 && !lock_; ++i) {
      lock_ = Installer::SingleInstanceLock::Acquire(L"talvorin_tests_installer_program");
      if (!lock_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  bool Held() const { return lock_ != nullptr; }

 private:
  std::unique_ptr<Installer::SingleInstanceLock> lock_;
};

// Another test's copy of the product may still be ending.
void WaitUntilTheProductIsGone() {
  for (int i = 0; i < 300 && Utils::FindProcessId(kProductExecutableName) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// A value of the installation records as the program left them.
std::wstring Recorded(const std::wstring& name) {
  std::wstring value;
  Installer::ReadRecordValue(Installer::kRecordsKey, name, value);
  return value;
}

// The names of the funnel events a collector id received, in order.
std::vector<std::string> FunnelEvents(const std::string& id) {
  std::vector<std::string> names;
  for (const std::string& text : Collector::Shared().Records(id)) {
    Json::Value record;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &record, &errors)) continue;
    const Json::Value& properties = record["properties"];
    if (properties.isMember("zv_task_name")) names.push_back(properties["zv_task_name"].asString());
    if (properties.isMember("zv_name")) names.push_back(properties["zv_name"].asString());
  }
  return names;
}

class InstallerProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runs.Held());
    ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error();
    ASSERT_TRUE(Collector::Shared().Started()) << Collector::Shared().Error();
    // The program's lock, records and data stay inside this test's folder.
#ifndef _WIN32
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
      const std::wstring folder = temp.File(Wide(name));
      ASSERT_TRUE(Utils::CreateDirectories(folder));
      environment.push_back(std::make_unique<ScopedEnvironmentVariable>(name, Narrow(folder)));
    }
#endif
    programFolder = temp.File(L"program");
    ASSERT_TRUE(Utils::CreateDirectories(programFolder));
    program = programFolder + kSep + kInstallerFileName;
    ASSERT_TRUE(Installer::CopyFileReplacing(TestSupport::ProgramFolder() + kSep + kInstallerFileName,
                                             program));
    collectorId = PackageServer::NewId("entry");
    installFolder = temp.File(L"Apps");
    WaitUntilTheProductIsGone();
  }

  // The settings file beside the program: the package's scenario options
  // and the collector's id.
  void Configure(const std::string& packageOptions) {
    const std::string url = PackageServer::Shared().EntryUrl(
        PackageServer::NewId("entry") + ";file=" + TestSupport::DemoPackageFileName() + packageOptions);
    ASSERT_TRUE(TestSupport::WriteFileBytes(
        programFolder + kSep + Installer::kSettingsFileName,
        "[Install]\r\nDownloadUrl=" + url + "\r\nAnalyticsServerUrl=" +
            Collector::Shared().CollectUrl(collectorId) + "\r\nIsEnableAppAnalytics=true\r\n"));
  }

  std::wstring CommandLine(const std::wstring& options) const {
    return L"\"" + program + L"\" " + options;
  }
  std::wstring Silent(const std::wstring& extra = L"") const {
    return CommandLine(L"-silent=true \"-installdir=" + installFolder + L"\" " + extra);
  }

  static std::uint32_t Run(Utils::ChildProcess& child, const std::wstring& commandLine) {
    child.Start(commandLine);
    char buffer[4096];
    while (child.ReadOutput(buffer, sizeof buffer) > 0) {
    }
    return child.WaitForExit();
  }
  static std::uint32_t Run(const std::wstring& commandLine) {
    Utils::ChildProcess child;
    return Run(child, commandLine);
  }
  // The product check looks at every process of the machine, where other
  // test programs start and end copies of the demo product: a refusal for a
  // running product is tried again once that copy has ended.
  static std::uint32_t RunWhenNoProductRuns(const std::wstring& commandLine) {
    std::uint32_t code = Installer::kExitProductRunning;
    for (int attempt = 0; attempt < 5 && code == Installer::kExitProductRunning; ++attempt) {
      WaitUntilTheProductIsGone();
      code = Run(commandLine);
    }
    return code;
  }

  std::wstring Installed() const { return installFolder + kSep + L"Talvorin"; }

  RunsOneAtATime runs;
  TestSupport::TempDir temp;
  std::vector<std::unique_ptr<ScopedEnvironmentVariable>> environment;
  std::wstring programFolder;
  std::wstring program;
  std::string collectorId;
  std::wstring installFolder;
};

TEST_F(InstallerProgramTest, UnattendedInstallationInstallsRecordsAndReportsTheFunnel) {
  Configure("");
  EXPECT_EQ(RunWhenNoProductRuns(Silent()), 0u);
  const std::wstring folder = Installed();
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat").size(), 1200000u);
  EXPECT_FALSE(Utils::FileExists(folder + kSep + L"__Package_Talvorin.exe"));
  EXPECT_EQ(Recorded(L"InstallPath"), folder);
  EXPECT_EQ(Recorded(L"UnInstallEp"), folder + kSep + L"uninst.ep");
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"set.ini"));
  EXPECT_EQ(FunnelEvents(collectorId),
            (std::vector<std::string>{"安装中", "下载器启动", "开始下载大包", "大包下载完毕", "安装成功"}));
}

TEST_F(InstallerProgramTest, EachFailureHasItsOwnExitCodeAndReason) {
  struct Case {
    const char* what;
    std::string packageOptions;
    std::wstring extra;
    std::uint32_t exitCode;
    std::string reasonEvent;
  };
  const Case cases[] = {
      {"download", ";get-status=404", L"", Installer::kExitDownloadFailed, "下载失败原因"},
      {"package", "", L"-instcmd=-demo=fail", Installer::kExitPackageFailed, "安装失败原因"},
  };
  for (const Case& c : cases) {
    collectorId = PackageServer::NewId(std::string("entry-") + c.what);
    Configure(c.packageOptions);
    EXPECT_EQ(RunWhenNoProductRuns(Silent(c.extra)), c.exitCode) << c.what;
    EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"__Package_Talvorin.exe")) << c.what;
    EXPECT_NE(Recorded(L"InstallPath"), Installed()) << c.what;
    const std::vector<std::string> events = FunnelEvents(collectorId);
    ASSERT_FALSE(events.empty()) << c.what;
    EXPECT_EQ(events.back(), c.reasonEvent) << c.what;
  }
}

TEST_F(InstallerProgramTest, ARunningProductStopsTheInstallationBeforeAnything) {
  Configure("");
  const std::wstring productFolder = temp.File(L"running");
  ASSERT_TRUE(Utils::CreateDirectories(productFolder));
  const std::wstring product = productFolder + kSep + L"talvorin..exe";
  ASSERT_TRUE(Installer::CopyFileReplacing(TestSupport::DemoPackagePath(), product));
  const std::wstring marker = temp.File(L"stay");
  ASSERT_TRUE(TestSupport::WriteFileBytes(marker, "x"));
  Utils::ChildProcess running;
  running.Start(L"\"" + product + L"\" \"-stay-while=" + marker + L"\"");
  for (int i = 0; i < 100 && Utils::FindProcessId(kProductExecutableName) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

  EXPECT_EQ(Run(Silent()), static_cast<std::uint32_t>(Installer::kExitProductRunning));
  EXPECT_FALSE(Utils::DirectoryExists(Installed()));
  EXPECT_TRUE(FunnelEvents(collectorId).empty());

  EXPECT_TRUE(Installer::DeleteFileQuietly(marker));
  running.WaitForExit();
}

TEST_F(InstallerProgramTest, ASecondCopyIsRefusedWhileTheFirstRuns) {
  // Paced, so that the first copy still runs when the second starts.
  Configure(";throttle=600000");
  Utils::ChildProcess first;
  first.Start(Silent());
  // The folder is made after the lock is taken.
  for (int i = 0; i < 600 && !Utils::DirectoryExists(Installed()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(Utils::DirectoryExists(Installed()));
  EXPECT_EQ(Run(Silent()), kRefusedSecondCopy);
  char buffer[4096];
  while (first.ReadOutput(buffer, sizeof buffer) > 0) {
  }
  EXPECT_EQ(first.WaitForExit(), 0u);
  EXPECT_TRUE(Utils::FileExists(Installed() + kSep + L"talvorin..exe"));
  // After the first has ended, a copy starts normally.
  EXPECT_EQ(RunWhenNoProductRuns(Silent()), 0u);
}

#ifndef _WIN32
TEST_F(InstallerProgramTest, WithoutADisplayOrUnattendedModeItSaysSoAndInstallsNothing) {
  Configure("");
  ScopedEnvironmentVariable display("DISPLAY", std::nullopt);
  ScopedEnvironmentVariable wayland("WAYLAND_DISPLAY", std::nullopt);
  EXPECT_EQ(Run(CommandLine(L"\"-installdir=" + installFolder + L"\"")),
            static_cast<std::uint32_t>(Installer::kExitNoDisplay));
  EXPECT_FALSE(Utils::DirectoryExists(Installed()));
}
#endif

}  // namespace
