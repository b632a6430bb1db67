// The real installer program, started as a child process in unattended mode,
// against the real package server, the real collector and the real demo
// package. Each run gets a copy of the program in a folder of its own, with
// the settings file beside it that points it at the two servers.
#include "app/entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
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
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "analytics/collector_fixture.h"
#include "app/unattended_install.h"
#include "download/partial_download.h"
#include "install/download_installer.h"
#include "install/file_operations.h"
#include "install/install_recorder.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
#include "support/command_line_split.h"
#include "support/digest.h"
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
  // `moreSettings`: further "Key=value\r\n" lines; `url`, when given, the
  // package address instead of the scenario's.
  void Configure(const std::string& packageOptions, const std::string& moreSettings = "",
                 const std::string& url = "") {
    packageId = PackageServer::NewId("entry");
    const std::string address =
        !url.empty() ? url
                     : PackageServer::Shared().EntryUrl(packageId + ";file=" + TestSupport::DemoPackageFileName() +
                                                        packageOptions);
    ASSERT_TRUE(TestSupport::WriteFileBytes(
        programFolder + kSep + Installer::kSettingsFileName,
        "[Install]\r\nDownloadUrl=" + address + "\r\nAnalyticsServerUrl=" +
            Collector::Shared().CollectUrl(collectorId) +
            "\r\nIsEnableAppAnalytics=true\r\nIsCheckNet=true\r\n" + moreSettings));
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
  std::string packageId;  // the scenario id of the last Configure
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

// Every package is checked against the digest its final address carries
// (MD5 or SHA-256), or the output says it was not; a failed check, a
// refused certificate or a hash that cannot be computed ends in the
// download's exit code with words that name the cause, and the report of
// the failure carries its class.
TEST_F(InstallerProgramTest, EveryPackageIsVerifiedOrTheOutputSaysWhyNot) {
  struct Case {
    const char* what;
    std::string packageOptions;
    bool https;
    std::string settings;   // extra lines of the settings file
    std::string opensslConf;  // a configuration that makes the hash provider refuse (Linux)
    std::uint32_t exitCode;
    std::string said;       // part of standard error
    std::string reasonClass;  // the class field of the failure report, when one is sent
  };
#ifndef _WIN32
  const std::string fips = NarrowAnsi(temp.File(L"fips.cnf"));
  ASSERT_TRUE(TestSupport::WriteFileBytes(temp.File(L"fips.cnf"),
                                          "openssl_conf = openssl_init\n[openssl_init]\nalg_section = algs\n"
                                          "[algs]\ndefault_properties = fips=yes\n"));
#endif
  std::vector<Case> cases = {
      {"no digest, one required", ";no-digest", false, "RequireDigest=true\r\n", "", Installer::kExitDownloadFailed,
       "The download failed: The package's address carries no digest", "6.class=digest-missing"},
      {"sha256 mismatch", ";sha256;bad-md5", false, "", "", Installer::kExitDownloadFailed,
       "does not match the digest of its address", "6.class=digest-mismatch"},
      {"server error", ";get-status=502", false, "", "", Installer::kExitDownloadFailed,
       "The server 127.0.0.1 answered with HTTP status 502.", "6.class=http-status 502 from 127.0.0.1"},
#ifndef _WIN32
      // Under Wine, Schannel accepts any certificate while no CA file is named.
      {"untrusted certificate", "", true, "", "", Installer::kExitDownloadFailed, "TLS certificate of",
       "6.class=tls-untrusted from"},
      {"hash provider refuses", "", false, "", fips, Installer::kExitDownloadFailed,
       "could not be computed", "6.class=digest-unavailable"},
#endif
      {"sha256", ";sha256", false, "", "", 0u, "Talvorin is installed", ""},
      {"no digest", ";no-digest", false, "", "", 0u, "The package was not verified: its address carries no digest.",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    collectorId = PackageServer::NewId("entry-verify");
    installFolder = temp.File(Utils::ToWide(std::string("Apps ") + c.what, Utils::kCodePageUtf8));
    const std::string url = PackageServer::Shared().EntryUrl(
        PackageServer::NewId("entry") + ";file=" + TestSupport::DemoPackageFileName() + c.packageOptions, c.https);
    ASSERT_TRUE(TestSupport::WriteFileBytes(
        programFolder + kSep + Installer::kSettingsFileName,
        "[Install]\r\nDownloadUrl=" + url + "\r\nAnalyticsServerUrl=" + Collector::Shared().CollectUrl(collectorId) +
            "\r\nIsEnableAppAnalytics=true\r\n" + c.settings));
    std::optional<ScopedEnvironmentVariable> conf;
    if (!c.opensslConf.empty()) conf.emplace("OPENSSL_CONF", c.opensslConf);
    std::string said;
    EXPECT_EQ(RunAndRead(Silent(), said), c.exitCode) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(said.find("code"), std::string::npos) << said;
    if (c.exitCode != 0) {
      EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"__Package_Talvorin.exe"));
      EXPECT_FALSE(Utils::FileExists(Installed() + kSep + L"talvorin..exe"));
      bool reported = false;
      for (const std::string& record : Collector::Shared().Records(collectorId))
        reported = reported || record.find(c.reasonClass) != std::string::npos;
      EXPECT_TRUE(reported) << "no failure report names " << c.reasonClass;
    }
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
    const std::wstring log = temp.File(L"refusal.log");
    EXPECT_EQ(RunAndRead(Silent(L"\"-log=" + log + L"\""), said), static_cast<std::uint32_t>(c.exitCode));
    EXPECT_EQ(said, "Installing Talvorin into " + Utils::ToNarrow(Installed(), Utils::kCodePageUtf8) +
                        "\n" + c.said + "The log of this run: " + Utils::ToNarrow(log, Utils::kCodePageUtf8) +
                        "\n");
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
    // A refusal ends with where the run's log is; the rest is the language's.
    const std::size_t logLine = said.find("The log of this run: ");
    EXPECT_NE(logLine, std::string::npos);
    if (logLine != std::string::npos) said.erase(logLine);
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

// Every run writes its log as it goes into a file a person can send; the
// newest ten stay. Unattended mode names the log when it fails, says which
// settings it could not use, and keeps analytics send failures to the log.
TEST_F(InstallerProgramTest, EachRunHasItsLogAndTheConsoleOnlyTheInstallation) {
#ifdef _WIN32
  const std::wstring logFolder = temp.File(L"tmp");
#else
  const std::wstring logFolder = temp.File(L"state") + kSep + L"talvorin";
  ScopedEnvironmentVariable state("XDG_STATE_HOME", Narrow(temp.File(L"state")));
#endif
  ASSERT_TRUE(Utils::CreateDirectories(logFolder));
  std::vector<std::wstring> older;
  for (int i = 0; i < 12; ++i) {
    older.push_back(logFolder + kSep + L"Talvorin_Installer_20200101_0000" + (i < 10 ? L"0" : L"") +
                    std::to_wstring(i) + L".log");
    ASSERT_TRUE(TestSupport::WriteFileBytes(older.back(), "old"));
  }
  ASSERT_TRUE(TestSupport::WriteFileBytes(logFolder + kSep + L"notes.txt", "mine"));
  // The download fails and the analytics collector cannot be reached.
  const std::string url = PackageServer::Shared().EntryUrl(PackageServer::NewId("entry") + ";file=" +
                                                           TestSupport::DemoPackageFileName() + ";get-status=404");
  const std::wstring settingsFile = programFolder + kSep + Installer::kSettingsFileName;
  ASSERT_TRUE(TestSupport::WriteFileBytes(
      settingsFile, "[Install]\r\nDownloadUrl=" + url +
                        "\r\nAnalyticsServerUrl=http://127.0.0.1:9/collect\r\nIsEnableAppAnalytics=true\r\n"
                        "IsCheckNet=True\r\n"));
  std::string said;
  EXPECT_EQ(RunAndRead(Silent(), said), static_cast<std::uint32_t>(Installer::kExitDownloadFailed));
  // The unusable setting, named with its file, before anything else.
  const std::string problem = "settings file " + Utils::ToNarrow(settingsFile, Utils::kCodePageUtf8) +
                              ": key IsCheckNet: \"True\" is neither \"true\" nor \"false\"; it is read as false\n";
  EXPECT_EQ(said.rfind(problem, 0), 0u) << said;
  EXPECT_EQ(said.find("ZvAnalytics"), std::string::npos) << said;
  EXPECT_EQ(said.find("send failed"), std::string::npos) << said;
  const std::string logLine = "The log of this run: ";
  const std::size_t at = said.find(logLine);
  ASSERT_NE(at, std::string::npos) << said;
  const std::string path = said.substr(at + logLine.size(), said.find('\n', at) - at - logLine.size());
  const std::wstring log = Utils::ToWide(path, Utils::kCodePageUtf8);
  EXPECT_EQ(log.rfind(logFolder + kSep + L"Talvorin_Installer_", 0), 0u) << path;
  const std::string written = TestSupport::ReadFileBytes(log);
  EXPECT_NE(written.find("IsCheckNet"), std::string::npos);
  EXPECT_NE(written.find("DL_CODE_FAIL"), std::string::npos);
  EXPECT_NE(written.find("send failed"), std::string::npos) << written;
  // The two oldest went; the other ten (this run's among them) and the
  // folder's other files stay.
  EXPECT_FALSE(Utils::FileExists(older[0]));
  EXPECT_FALSE(Utils::FileExists(older[1]));
  EXPECT_FALSE(Utils::FileExists(older[2]));
  EXPECT_TRUE(Utils::FileExists(older[3]));
  EXPECT_TRUE(Utils::FileExists(logFolder + kSep + L"notes.txt"));

  // "-log=" chooses the file.
  const std::wstring chosen = temp.File(L"chosen.log");
  EXPECT_EQ(RunAndRead(Silent(L"\"-log=" + chosen + L"\""), said),
            static_cast<std::uint32_t>(Installer::kExitDownloadFailed));
  EXPECT_NE(said.find(logLine + Utils::ToNarrow(chosen, Utils::kCodePageUtf8) + "\n"), std::string::npos) << said;
  EXPECT_NE(TestSupport::ReadFileBytes(chosen).find("DL_CODE_FAIL"), std::string::npos);
}

#ifndef _WIN32
// A request to end (SIGTERM, SIGINT, SIGHUP) ends the run with its own code:
// during the download the received part stays for a later run; a package
// already running is left to finish; the events so far are sent or staged;
// the lock is free at once.
TEST_F(InstallerProgramTest, EndingOnRequestKeepsWhatWasDoneAndLeavesAPackageRunning) {
  struct Case {
    int signal;
    bool duringPackage;
  };
  for (const Case& c : {Case{SIGTERM, false}, Case{SIGINT, false}, Case{SIGHUP, true}}) {
    SCOPED_TRACE(c.signal);
    collectorId = PackageServer::NewId("entry-ending");
    installFolder = temp.File(L"Ending" + std::to_wstring(c.signal));
    Configure(c.duringPackage ? "" : ";throttle=200000");
    const std::wstring log = temp.File(L"ending-" + std::to_wstring(c.signal) + L".log");
    Utils::ChildProcess child;
    child.Start(Silent(L"\"-log=" + log + L"\"" + (c.duringPackage ? L" -instcmd=-demo=slow=600" : L"")));
    // The download goes into a side file until it is whole.
    const std::wstring partial = Installed() + kSep + L"__Package_Talvorin.exe.part";
    const std::wstring data = Installed() + kSep + L"talvorin.dat";
    bool reached = false;
    for (int i = 0; i < 1200 && !reached; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      reached = c.duringPackage ? Utils::FileExists(data) : TestSupport::ReadFileBytes(partial).size() > 0;
    }
    ASSERT_TRUE(reached);
    ASSERT_EQ(::kill(static_cast<pid_t>(child.ProcessId()), c.signal), 0);
    char buffer[256];
    while (child.ReadOutput(buffer, sizeof buffer) > 0) {
    }
    EXPECT_EQ(child.WaitForExit(), static_cast<std::uint32_t>(Installer::kExitCancelled));
    const std::string written = TestSupport::ReadFileBytes(log);
    EXPECT_NE(written.find("ending on request: signal"), std::string::npos) << written;
    if (c.duringPackage) {
      EXPECT_NE(written.find("is already running and is not stopped"), std::string::npos) << written;
      // The package goes on by itself to its end.
      bool done = false;
      for (int i = 0; i < 600 && !done; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        done = Utils::FileExists(Installed() + kSep + L"setup-arguments.txt");
      }
      EXPECT_TRUE(done);
      EXPECT_EQ(TestSupport::ReadFileBytes(data).size(), 1200000u);
    } else {
      // What was received stays for a later run.
      EXPECT_GT(TestSupport::ReadFileBytes(partial).size(), 0u);
    }
    const std::vector<std::string> events = Collector::Shared().EventNames(collectorId);
    EXPECT_NE(std::find(events.begin(), events.end(), "开始下载大包"), events.end());
    EXPECT_NE(RecordedValue(L"InstallPath"), Installed());
  }
  // The lock went with the run: the next one installs.
  Configure("");
  installFolder = temp.File(L"AfterEnding");
  EXPECT_EQ(Run(Silent()), 0u);
}
#endif

}  // namespace

namespace {

std::size_t CountRequests(const std::string& id, const std::string& method) {
  std::size_t n = 0;
  for (const std::string& line : PackageServer::Shared().RequestLog(id))
    if (line.rfind(method + " ", 0) == 0) ++n;
  return n;
}

std::string Sha256Of(const std::string& bytes) {
  Utils::Hash sha(Utils::HashAlgorithm::kSha256);
  sha.Update(bytes.data(), bytes.size());
  return sha.FinishHex();
}

}  // namespace

TEST_F(InstallerProgramTest, AnOfflinePackageIsUsedWhenItsDigestAllowsIt) {
  const std::wstring demo = TestSupport::ProgramFolder() + kSep +
                            Utils::ToWide(TestSupport::DemoPackageFileName(), Utils::kCodePageUtf8);
  const std::string demoBytes = TestSupport::ReadFileBytes(demo);
  ASSERT_FALSE(demoBytes.empty());
  const std::string wrong(64, 'a');
  const std::string down = Collector::Shared().RefusedUrl();
  const std::wstring chosen = temp.File(L"my copy of the package.exe");
  ASSERT_TRUE(TestSupport::WriteFileBytes(chosen, demoBytes));
  const std::wstring beside = programFolder + kSep + L"Talvorin_Setup.exe";

  enum class Way { Chosen, Beside };
  enum class Then { Installed, Refused, Downloaded };
  struct Case {
    const char* label;
    Way way;
    std::string settings;  // digests
    bool networkDown;
    Then then;
    const char* said;
  };
  const Case cases[] = {
      // The final address's digest, asked with a header request only.
      {"chosen-final-address", Way::Chosen, "", false, Then::Installed, "matches its published digest"},
      {"chosen-sha256", Way::Chosen, "PackageSha256=" + Sha256Of(demoBytes) + "\r\n", true, Then::Installed,
       "matches its published digest"},
      {"chosen-wrong-sha256", Way::Chosen, "PackageSha256=" + wrong + "\r\n", false, Then::Refused,
       "refused"},
      {"beside-nothing-known", Way::Beside, "", true, Then::Installed, "not verified"},
      // A package found, not chosen, that fails its check is passed over.
      {"beside-wrong-md5", Way::Beside, "PackageMd5=" + wrong.substr(0, 32) + "\r\n", false, Then::Downloaded,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    collectorId = PackageServer::NewId(std::string("offline-") + c.label);
    Configure("", c.settings, c.networkDown ? down : "");
    Installer::DeleteFileQuietly(beside);
    if (c.way == Way::Beside) {
      ASSERT_TRUE(TestSupport::WriteFileBytes(beside, demoBytes));
    }
    std::string said;
    const std::uint32_t code =
        RunAndRead(Silent(c.way == Way::Chosen ? L"\"-package=" + chosen + L"\"" : L""), said);
    EXPECT_EQ(code, c.then == Then::Refused ? static_cast<std::uint32_t>(Installer::kExitDownloadFailed) : 0u) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(CountRequests(packageId, "GET"), c.then == Then::Downloaded ? 1u : 0u);
    EXPECT_EQ(Utils::FileExists(Installed() + kSep + L"talvorin..exe"), c.then != Then::Refused);
    // The user's own package stays where it was.
    EXPECT_EQ(TestSupport::ReadFileBytes(c.way == Way::Chosen ? chosen : beside), demoBytes);
    if (c.then == Then::Installed) {
      // As for a download that ended at once; an unverified package is
      // reported as a download without a digest is.
      std::vector<std::string> events{"安装中", "下载器启动", "开始下载大包", "大包下载完毕", "安装成功"};
      if (std::string(c.said) == "not verified") events.insert(events.begin() + 3, "下载失败原因");
      // Records an earlier case staged while its collector was down may
      // come first: the journal sends them with the next run's.
      const std::vector<std::string> arrived = Collector::Shared().EventNames(collectorId);
      ASSERT_GE(arrived.size(), events.size());
      EXPECT_EQ(std::vector<std::string>(arrived.end() - static_cast<std::ptrdiff_t>(events.size()), arrived.end()),
                events);
    }
    Installer::DeleteFileQuietly(beside);
  }
}

TEST_F(InstallerProgramTest, MirrorsAreTriedInOrderWhenAnAddressFails) {
  const std::string broken = PackageServer::NewId("mirror-broken");
  const std::string good = PackageServer::NewId("mirror-good");
  const std::string file = ";file=" + TestSupport::DemoPackageFileName();
  // The first address never serves the package, the second refuses every
  // connection, the third works and names its route.
  const std::string goodUrl = PackageServer::Shared().BaseUrl() + "/s/" + good + file + "/software/${ROUTE}";
  Configure("", "DownloadUrl2=" + Collector::Shared().RefusedUrl() + "\r\nDownloadUrl3=" + goodUrl +
                    "\r\nDownloadUrl4=" + PackageServer::Shared().EntryUrl(PackageServer::NewId("never")) + "\r\n",
            PackageServer::Shared().EntryUrl(broken + file + ";get-status=503"));
  EXPECT_EQ(Run(Silent()), 0u);
  EXPECT_TRUE(Utils::FileExists(Installed() + kSep + L"talvorin..exe"));
  EXPECT_GT(CountRequests(broken, "GET"), 0u);
  const std::vector<std::string> goodLog = PackageServer::Shared().RequestLog(good);
  ASSERT_FALSE(goodLog.empty());
  EXPECT_NE(goodLog.front().find("/software/download_silent"), std::string::npos) << goodLog.front();
}

namespace {

// Ends a run at once, leaving it no chance to tidy up: what a crash, a
// power cut or the task manager does.
void KillHard(Utils::ChildProcess& child) {
#ifdef _WIN32
  if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, child.ProcessId())) {
    TerminateProcess(process, 9);
    CloseHandle(process);
  }
#else
  ::kill(static_cast<pid_t>(child.ProcessId()), SIGKILL);
#endif
  char buffer[256];
  while (child.ReadOutput(buffer, sizeof buffer) > 0) {
  }
  child.WaitForExit();
}

std::uint64_t SizeOf(const std::wstring& path) {
  std::error_code error;
#ifdef _WIN32
  const auto size = std::filesystem::file_size(std::filesystem::path(path), error);
#else
  const auto size = std::filesystem::file_size(std::filesystem::path(Utils::ToNarrow(path, Utils::kCodePageUtf8)), error);
#endif
  return error ? 0 : static_cast<std::uint64_t>(size);
}

std::string Md5Of(const std::string& bytes) {
  Utils::Hash md5(Utils::HashAlgorithm::kMd5);
  md5.Update(bytes.data(), bytes.size());
  return md5.FinishHex();
}

}  // namespace

// A run killed in the middle of the download leaves what it received; the
// next run for the same package asks only for the rest when the package is
// known to be the same (its digest, or its address and validator), and starts
// over when it is not. The server's own count says how many bytes each run
// fetched.
TEST_F(InstallerProgramTest, AKilledDownloadGoesOnInTheNextRunFromWhatArrived) {
  const std::string demo = TestSupport::ReadFileBytes(
      TestSupport::ProgramFolder() + kSep + Utils::ToWide(TestSupport::DemoPackageFileName(), Utils::kCodePageUtf8));
  ASSERT_FALSE(demo.empty());
  // Two ranges need 20 MiB or more: a generated package, which downloads and
  // verifies but cannot run.
  constexpr std::uint64_t kTwoRanges = 24u << 20;
  struct Case {
    const char* label;
    int downloadType;
    std::string options;
    bool generated;
    bool continues;
  };
  const Case cases[] = {
      {"stream-digest", 1, ";throttle=600000", false, true},
      {"stream-etag", 1, ";no-digest;etag;throttle=600000", false, true},
      {"stream-last-modified", 1, ";no-digest;last-modified;throttle=600000", false, true},
      {"stream-nothing-to-tell", 1, ";no-digest;throttle=600000", false, false},
      // The package changed before the next run asked for its headers.
      {"stream-changed-before", 1, ";no-digest;etag;revalidate-after=0;throttle=600000", false, false},
      // ... or between its header request and its body request: If-Range
      // brings the whole new package, and a server that ignores If-Range
      // answers with another validator.
      {"stream-changed-between", 1, ";no-digest;etag;revalidate-after=1;throttle=600000", false, false},
      {"stream-if-range-ignored", 1, ";no-digest;last-modified;revalidate-after=1;ignore-if-range;throttle=600000",
       false, false},
      {"ranges-digest", 3, ";size=" + std::to_string(kTwoRanges) + ";seed=5;throttle=1500000", true, true},
      {"ranges-etag", 3, ";size=" + std::to_string(kTwoRanges) + ";seed=6;no-digest;etag;throttle=1500000", true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    installFolder = temp.File(Utils::ToWide(c.label, Utils::kCodePageUtf8));
    collectorId = PackageServer::NewId("entry-killed");
    if (c.generated) {
      const std::string id = PackageServer::NewId("entry-killed");
      Configure("", "", PackageServer::Shared().EntryUrl(id + c.options));
      packageId = id;
    } else {
      Configure(c.options);
    }
    const std::uint64_t size = c.generated ? kTwoRanges : demo.size();
    const std::wstring target = Installed() + kSep + L"__Package_Talvorin.exe";
    auto kept = [&] {
      return c.downloadType == 3 ? SizeOf(target + L"_0") + SizeOf(target + L"_1") : SizeOf(target + L".part");
    };
    const std::wstring type = L" -downloadtype=" + std::to_wstring(c.downloadType);
    {
      Utils::ChildProcess child;
      child.Start(Silent(type));
      for (int i = 0; i < 2400 && kept() < size * 3 / 10; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      KillHard(child);
    }
    const std::uint64_t received = kept();
    ASSERT_GT(received, size / 10);
    ASSERT_LT(received, size);
    EXPECT_TRUE(Utils::FileExists(target + L".resume") || !c.continues) << "the record stays beside the bytes";
    // The server stops counting once it notices the connection is gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::uint64_t firstRun = PackageServer::Shared().BodyBytesSent(packageId);

    const std::uint32_t code = Run(Silent(type));
    const std::uint64_t secondRun = PackageServer::Shared().BodyBytesSent(packageId) - firstRun;
    if (c.continues) {
      EXPECT_EQ(secondRun, size - received) << "only the missing bytes are fetched";
    } else {
      EXPECT_GE(secondRun, size) << "the whole package is fetched again";
    }
    if (c.generated) {
      // Downloaded and verified; the generated bytes then fail to run.
      EXPECT_EQ(code, static_cast<std::uint32_t>(Installer::kExitPackageFailed));
    } else {
      EXPECT_EQ(code, 0u);
      EXPECT_TRUE(Utils::FileExists(Installed() + kSep + L"talvorin..exe"));
    }
    for (const wchar_t* suffix : {L".part", L"_0", L"_1", L".resume"})
      EXPECT_FALSE(Utils::FileExists(target + suffix)) << "nothing partial is left: " << Utils::ToNarrow(suffix, Utils::kCodePageUtf8);
  }
}

// Partial files a run cannot trust are deleted before it downloads: another
// package's, ones without a record, ones older than seven days.
TEST_F(InstallerProgramTest, PartialsThatCannotBeContinuedAreDeleted) {
  const std::string demo = TestSupport::ReadFileBytes(
      TestSupport::ProgramFolder() + kSep + Utils::ToWide(TestSupport::DemoPackageFileName(), Utils::kCodePageUtf8));
  ASSERT_FALSE(demo.empty());
  const std::string garbage(demo.size() / 2, 'x');
  struct Case {
    const char* label;
    std::string digest;  // of the record; empty: no record
    int ageDays;
  };
  const Case cases[] = {
      {"another-package", std::string(32, 'b'), 0},
      {"no-record", "", 0},
      {"eight-days-old", Md5Of(demo), 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    installFolder = temp.File(Utils::ToWide(c.label, Utils::kCodePageUtf8));
    Configure("");
    const std::wstring target = Installed() + kSep + L"__Package_Talvorin.exe";
    ASSERT_TRUE(Utils::CreateDirectories(Installed()));
    ASSERT_TRUE(TestSupport::WriteFileBytes(target + L".part", garbage));
    if (!c.digest.empty()) {
      PartialIdentity identity;
      identity.digest = c.digest;
      identity.length = static_cast<std::int64_t>(demo.size());
      identity.layout = "stream";
      ASSERT_TRUE(WriteResumeRecord(Utils::ToNarrow(target, Utils::kCodePageAnsi), identity));
    }
    if (c.ageDays > 0) {
      for (const wchar_t* suffix : {L".part", L".resume"}) {
#ifdef _WIN32
        const std::filesystem::path path(target + suffix);
#else
        const std::filesystem::path path(Utils::ToNarrow(target + suffix, Utils::kCodePageUtf8));
#endif
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                                   std::chrono::hours(24 * c.ageDays));
      }
    }
    EXPECT_EQ(Run(Silent()), 0u);
    EXPECT_TRUE(Utils::FileExists(Installed() + kSep + L"talvorin..exe"));
    EXPECT_EQ(PackageServer::Shared().BodyBytesSent(packageId), demo.size()) << "fetched whole, from its first byte";
    for (const wchar_t* suffix : {L".part", L".resume"})
      EXPECT_FALSE(Utils::FileExists(target + suffix));
  }
}
