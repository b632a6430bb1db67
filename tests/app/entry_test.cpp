// The real installer program, started as a child process in unattended mode,
// against the real package server, the real collector and the real demo
// package. Each run gets a copy of the program in a folder of its own, with
// the settings file beside it that points it at the two servers.
#include "app/entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "analytics/collector_fixture.h"
#include "app/unattended_install.h"
#include "install/download_installer.h"
#include "install/file_operations.h"
#include "install/install_recorder.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
#include "support/command_line_split.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "installer_program_fixture.h"
#include "test_support.h"

namespace {

using TestSupport::Collector;
using TestSupport::PackageServer;
using TestSupport::RecordedValue;
using TestSupport::kInstallerFileName;
using TestSupport::ScopedEnvironmentVariable;

const std::wstring kSep(1, Utils::kPathSeparator);

#ifdef _WIN32
constexpr std::uint32_t kRefusedSecondCopy = 0xFFFFFFFFu;
#else
constexpr std::uint32_t kRefusedSecondCopy = 255;  // -1 as a POSIX exit status
#endif

#ifndef _WIN32
std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }
std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }
#endif
// Environment values are in the system's code page.
std::string NarrowAnsi(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageAnsi); }

// Runs a program to its end with its standard error written to `errorFile`
// (and its standard input and output on the null device): the unattended
// mode says what happened there. The exit code, or nothing when the program
// could not be started.
std::optional<std::uint32_t> RunWithStandardError(const std::wstring& commandLine,
                                                  const std::wstring& errorFile) {
#ifdef _WIN32
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE error = CreateFileW(errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inheritable, OPEN_EXISTING, 0, nullptr);
  std::optional<std::uint32_t> code;
  if (error != INVALID_HANDLE_VALUE && null != INVALID_HANDLE_VALUE) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null;
    startup.hStdOutput = null;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    std::wstring mutableLine = commandLine;
    if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
      WaitForSingleObject(process.hProcess, INFINITE);
      DWORD exitCode = 0;
      if (GetExitCodeProcess(process.hProcess, &exitCode)) code = exitCode;
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
  if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  return code;
#else
  std::vector<std::string> arguments;
  for (const std::wstring& argument : Utils::SplitWindowsCommandLine(commandLine)) {
    arguments.push_back(Narrow(argument));
  }
  if (arguments.empty()) return std::nullopt;
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, Narrow(errorFile).c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return std::nullopt;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
#endif
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
    // Only a product started inside this test's folder counts as running
    // (for this process and the programs it starts), and the uninstaller's
    // copy goes to a cache folder of this test's own: tests running side by
    // side never see each other's product nor run each other's uninstaller.
    environment.push_back(
        std::make_unique<ScopedEnvironmentVariable>("TALVORIN_PROCESS_SCOPE", NarrowAnsi(temp.path())));
    // The network check answers "connected" unless a test says otherwise, so
    // that the outcome does not hang on the machine's own network.
    environment.push_back(std::make_unique<ScopedEnvironmentVariable>("TALVORIN_NETWORK_VERDICT", "0x40"));
    const std::wstring tempFolder = temp.File(L"tmp");
    ASSERT_TRUE(Utils::CreateDirectories(tempFolder));
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
      environment.push_back(std::make_unique<ScopedEnvironmentVariable>(name, NarrowAnsi(tempFolder)));
    }
    programFolder = temp.File(L"program");
    ASSERT_TRUE(Utils::CreateDirectories(programFolder));
    program = programFolder + kSep + kInstallerFileName;
    ASSERT_TRUE(Installer::CopyFileReplacing(TestSupport::ProgramFolder() + kSep + kInstallerFileName,
                                             program));
    collectorId = PackageServer::NewId("entry");
    installFolder = temp.File(L"Apps");
  }

  // The settings file beside the program: the package's scenario options
  // and the collector's id.
  void Configure(const std::string& packageOptions) {
    const std::string url = PackageServer::Shared().EntryUrl(
        PackageServer::NewId("entry") + ";file=" + TestSupport::DemoPackageFileName() + packageOptions);
    ASSERT_TRUE(TestSupport::WriteFileBytes(
        programFolder + kSep + Installer::kSettingsFileName,
        "[Install]\r\nDownloadUrl=" + url + "\r\nAnalyticsServerUrl=" +
            Collector::Shared().CollectUrl(collectorId) +
            "\r\nIsEnableAppAnalytics=true\r\nIsCheckNet=true\r\n"));
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

  std::wstring Installed() const { return installFolder + kSep + L"Talvorin"; }

  // Runs the program: its exit code and what it wrote to standard error.
  std::uint32_t RunAndRead(const std::wstring& commandLine, std::string& said) {
    const std::wstring errors = temp.File(L"stderr-" + std::to_wstring(++runs_) + L".txt");
    const std::optional<std::uint32_t> code = RunWithStandardError(commandLine, errors);
    said = TestSupport::ReadFileBytes(errors);
    // Standard error is a text stream: Windows ends its lines with "\r\n".
    for (std::size_t at = said.find("\r\n"); at != std::string::npos; at = said.find("\r\n", at)) {
      said.erase(at, 1);
    }
    EXPECT_TRUE(code.has_value()) << "the program did not start";
    return code.value_or(0xDEADu);
  }

  TestSupport::InstallerRunsOneAtATime runs;
  TestSupport::TempDir temp;
  std::vector<std::unique_ptr<ScopedEnvironmentVariable>> environment;
  std::wstring programFolder;
  std::wstring program;
  std::string collectorId;
  std::wstring installFolder;
  int runs_ = 0;
};

TEST_F(InstallerProgramTest, UnattendedInstallationInstallsRecordsAndReportsTheFunnel) {
  Configure("");
  EXPECT_EQ(Run(Silent()), 0u);
  const std::wstring folder = Installed();
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat").size(), 1200000u);
  EXPECT_FALSE(Utils::FileExists(folder + kSep + L"__Package_Talvorin.exe"));
  EXPECT_EQ(RecordedValue(L"InstallPath"), folder);
  EXPECT_EQ(RecordedValue(L"UnInstallEp"), folder + kSep + L"uninst.ep");
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"set.ini"));
  EXPECT_EQ(Collector::Shared().EventNames(collectorId),
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
    EXPECT_EQ(Run(Silent(c.extra)), c.exitCode) << c.what;
    EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"__Package_Talvorin.exe")) << c.what;
    EXPECT_NE(RecordedValue(L"InstallPath"), Installed()) << c.what;
    const std::vector<std::string> events = Collector::Shared().EventNames(collectorId);
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

  std::string said;
  EXPECT_EQ(RunAndRead(Silent(), said), static_cast<std::uint32_t>(Installer::kExitProductRunning));
  EXPECT_NE(said.find("Talvorin is running. Close it, then start the installation again.\n"),
            std::string::npos)
      << said;
  EXPECT_FALSE(Utils::DirectoryExists(Installed()));
  EXPECT_TRUE(Collector::Shared().EventNames(collectorId).empty());

  EXPECT_TRUE(Installer::DeleteFileQuietly(marker));
  running.WaitForExit();
}

// The checks before the download refuse with their own exit codes and say
// why: less than 1 GiB free (the free space is set, as no disk here can be
// filled without root), and the configured network check finding no
// internet. Nothing is downloaded, installed, recorded or reported.
TEST_F(InstallerProgramTest, RefusalsBeforeTheDownloadHaveTheirOwnExitCodesAndSayWhy) {
  struct Case {
    const char* what;
    const char* variable;
    const char* value;
    int exitCode;
    std::string said;
  };
  const Case cases[] = {
      {"no space", "TALVORIN_FREE_SPACE_BYTES", "1073741823", Installer::kExitNoSpace,
       "Not enough free disk space for the installation: 0.99 GiB free, 1 GiB needed.\n"},
      {"no network", "TALVORIN_NETWORK_VERDICT", "0x10000", Installer::kExitNoNetwork,
       "The network does not reach the internet. Install again when it does.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    collectorId = PackageServer::NewId(std::string("entry-") + c.what);
    Configure("");
    ScopedEnvironmentVariable refusal(c.variable, std::string(c.value));
    std::string said;
    EXPECT_EQ(RunAndRead(Silent(), said), static_cast<std::uint32_t>(c.exitCode));
    EXPECT_EQ(said, "Installing Talvorin into " + Utils::ToNarrow(Installed(), Utils::kCodePageUtf8) +
                        "\n" + c.said);
    EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"__Package_Talvorin.exe"));
    EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"talvorin..exe"));
    EXPECT_NE(RecordedValue(L"InstallPath"), Installed());
    EXPECT_TRUE(Collector::Shared().EventNames(collectorId).empty());
  }
}

// The console speaks the interface language too, chosen as the window
// chooses it: the system's (LC_ALL here), "-language=", an earlier
// installation's; the package is told the same language.
TEST_F(InstallerProgramTest, TheConsoleSpeaksTheChosenLanguage) {
  struct Case {
    const char* what;
    const char* system;
    std::wstring extra;
    std::string said;
  };
  const Case cases[] = {
      {"German system", "de_DE.UTF-8", L"",
       "Talvorin wird installiert in %F\nNicht genügend freier Speicherplatz: 0.99 GiB frei, 1 GiB erforderlich.\n"},
      {"Japanese on the command line", "de_DE.UTF-8", L"-language=9",
       "Talvorin を %F にインストールしています\nディスクの空き容量が不足しています: 空き 0.99 GiB、必要 1 GiB。\n"},
      {"simplified Chinese system", "zh_CN.UTF-8", L"",
       "正在将 Talvorin 安装到 %F\n磁盘空间不足，无法安装：可用 0.99 GiB，需要 1 GiB。\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
#ifdef _WIN32
    // Windows takes the system's language from the account, not from the
    // environment: only the command line's choice is tried there.
    if (c.extra.empty()) continue;
#endif
    collectorId = PackageServer::NewId(std::string("entry-language"));
    Configure("");
    ScopedEnvironmentVariable system("LC_ALL", std::string(c.system));
    ScopedEnvironmentVariable refusal("TALVORIN_FREE_SPACE_BYTES", std::string("1073741823"));
    std::string said;
    EXPECT_EQ(RunAndRead(Silent(c.extra), said), static_cast<std::uint32_t>(Installer::kExitNoSpace));
    std::string expected = c.said;
    expected.replace(expected.find("%F"), 2, Utils::ToNarrow(Installed(), Utils::kCodePageUtf8));
    EXPECT_EQ(said, expected);
  }

  // A whole installation in Italian: the package gets the language, and a
  // later run keeps it whatever the system and the command line say.
  Configure("");
  EXPECT_EQ(Run(Silent(L"-language=13")), 0u);
  EXPECT_EQ(TestSupport::ReadFileBytes(Installed() + kSep + L"config.ini"), "[Install]\nLanguage=it-IT\n");
  {
    ScopedEnvironmentVariable system("LC_ALL", std::string("pl_PL.UTF-8"));
    ScopedEnvironmentVariable refusal("TALVORIN_FREE_SPACE_BYTES", std::string("1073741823"));
    std::string said;
    EXPECT_EQ(RunAndRead(Silent(L"-language=5"), said), static_cast<std::uint32_t>(Installer::kExitNoSpace));
    EXPECT_NE(said.find("Spazio su disco insufficiente: 0.99 GiB liberi, 1 GiB necessario.\n"), std::string::npos)
        << said;
  }
}

// An earlier installation whose uninstaller fails: the installation stops
// before the download with its own exit code, and the earlier version stays
// installed and recorded.
TEST_F(InstallerProgramTest, AnEarlierVersionThatCannotBeRemovedStopsTheInstallation) {
  Configure("");
  ASSERT_EQ(Run(Silent()), 0u);
  const std::wstring earlier = Installed();
  ASSERT_EQ(RecordedValue(L"UnInstallEp"), earlier + kSep + L"uninst.ep");

  collectorId = PackageServer::NewId("entry-removal");
  Configure("");
  ScopedEnvironmentVariable fail("TALVORIN_DEMO_UNINSTALL", std::string("fail"));
  installFolder = temp.File(L"Newer");
  std::string said;
  EXPECT_EQ(RunAndRead(Silent(), said), static_cast<std::uint32_t>(Installer::kExitRemovalFailed));
  EXPECT_NE(said.find("The earlier version could not be removed (安装包卸载失败). Close Talvorin, then "
                      "start the installation again.\n"),
            std::string::npos)
      << said;
  EXPECT_EQ(TestSupport::ReadFileBytes(earlier + kSep + L"talvorin.dat").size(), 1200000u);
  EXPECT_EQ(RecordedValue(L"InstallPath"), earlier);
  EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"talvorin..exe"));
  EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"__Package_Talvorin.exe"));
  const std::vector<std::string> events = Collector::Shared().EventNames(collectorId);
  EXPECT_EQ(std::count(events.begin(), events.end(), "开始下载大包"), 0) << events.size();
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
  EXPECT_EQ(Run(Silent()), 0u);
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
