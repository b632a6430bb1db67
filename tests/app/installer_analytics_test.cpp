// The real installer's analytics records across what can end a run: killed
// (SIGKILL / TerminateProcess) at many points of an unattended installation,
// crashed by a fatal signal, or told not to collect at all. Each run is the
// real program in a folder of its own, against the real package server and
// the real collector; its analytics state lives in a folder of the test's
// own inside the user's application data, named by "Set.ini".
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include "analytics/collector_fixture.h"
#include "analytics/system_facts.h"
#include "support/installer_settings.h"
#include "app/unattended_install.h"
#include "install/file_operations.h"
#include "install/install_recorder.h"
#include "installer_program_fixture.h"
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
const std::vector<std::string> kFunnel = {"安装中", "下载器启动", "开始下载大包", "大包下载完毕", "安装成功"};

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }
std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }
std::string Ansi(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageAnsi); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string TrackId(const std::string& record) {
  const std::size_t at = record.find("\"_track_id\":");
  return at == std::string::npos ? record : record.substr(at + 12, record.find(',', at) - at - 12);
}

// A running installer and the thread that reads its output, so that it
// never blocks on a full pipe.
class RunningInstaller {
 public:
  explicit RunningInstaller(const std::wstring& commandLine) {
    child_.Start(commandLine);
    reader_ = std::thread([this] {
      char buffer[4096];
      for (std::size_t got; (got = child_.ReadOutput(buffer, sizeof buffer)) > 0;) said_.append(buffer, got);
    });
  }
  ~RunningInstaller() { Wait(); }
  void Kill(int signalNumber) {
#ifdef _WIN32
    (void)signalNumber;
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, child_.ProcessId());
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 137);
    CloseHandle(process);
#else
    ASSERT_EQ(::kill(static_cast<pid_t>(child_.ProcessId()), signalNumber), 0);
#endif
  }
  std::uint32_t Wait() {
    if (reader_.joinable()) {
      reader_.join();
      code_ = child_.WaitForExit();
    }
    return code_;
  }
  const std::string& Said() {
    Wait();
    return said_;
  }

 private:
  Utils::ChildProcess child_;
  std::thread reader_;
  std::string said_;
  std::uint32_t code_ = 0;
};

class InstallerAnalyticsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runs.Held());
    ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error();
    ASSERT_TRUE(Collector::Shared().Started()) << Collector::Shared().Error();
#ifndef _WIN32
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
      const std::wstring folder = temp.File(Wide(name));
      ASSERT_TRUE(Utils::CreateDirectories(folder));
      environment.push_back(std::make_unique<ScopedEnvironmentVariable>(name, Utf8(folder)));
    }
#endif
    environment.push_back(std::make_unique<ScopedEnvironmentVariable>("TALVORIN_PROCESS_SCOPE", Ansi(temp.path())));
    environment.push_back(std::make_unique<ScopedEnvironmentVariable>("TALVORIN_NETWORK_VERDICT", "0x40"));
    const std::wstring tempFolder = temp.File(L"tmp");
    ASSERT_TRUE(Utils::CreateDirectories(tempFolder));
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
      environment.push_back(std::make_unique<ScopedEnvironmentVariable>(name, Ansi(tempFolder)));
    }
    programFolder = temp.File(L"program");
    ASSERT_TRUE(Utils::CreateDirectories(programFolder));
    program = programFolder + kSep + TestSupport::kInstallerFileName;
    ASSERT_TRUE(Installer::CopyFileReplacing(TestSupport::ProgramFolder() + kSep + TestSupport::kInstallerFileName,
                                             program));
    // The state goes where "Set.ini" may put it: inside the user's own data.
    const std::string userData = zorvan::analytics::QueryUserDataFolder();
    ASSERT_FALSE(userData.empty());
    stateFolder = Wide(userData) + kSep + L"talvorin-tests" + kSep + Wide(PackageServer::NewId("state"));
    ASSERT_TRUE(Utils::CreateDirectories(stateFolder));
    ASSERT_TRUE(TestSupport::WriteFileBytes(programFolder + kSep + L"Set.ini",
                                            "[Install]\r\nZVAnalyticsIni=" + Utf8(stateFolder + kSep + L"analytics.ini") +
                                                "\r\n"));
    journal = stateFolder + kSep + L"ZVStaging.jsonl";
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(stateFolder), ignored);
  }

  void Configure(const std::string& collectorScenario, const std::string& packageOptions,
                 const char* analytics = "true") {
    const std::string url = PackageServer::Shared().EntryUrl(
        PackageServer::NewId("analytics") + ";file=" + TestSupport::DemoPackageFileName() + packageOptions);
    ASSERT_TRUE(TestSupport::WriteFileBytes(
        programFolder + kSep + Installer::kSettingsFileName,
        "[Install]\r\nDownloadUrl=" + url + "\r\nAnalyticsServerUrl=" +
            Collector::Shared().CollectUrl(collectorScenario) + "\r\nIsEnableAppAnalytics=" + analytics +
            "\r\nIsCheckNet=false\r\n"));
  }
  std::wstring Silent(const std::wstring& extra = L"") {
    return L"\"" + program + L"\" -silent=true \"-installdir=" + temp.File(L"Apps-" + std::to_wstring(++installs)) +
           L"\" " + extra;
  }
  // A run that refuses before the download (too little space): it reports
  // nothing of its own, so all it sends is what earlier runs left.
  void RunThatOnlySendsWhatWasLeft(const std::string& id) {
    Configure(id, "");
    ScopedEnvironmentVariable noSpace("TALVORIN_FREE_SPACE_BYTES", std::string("1"));
    RunningInstaller run(Silent());
    EXPECT_EQ(run.Wait(), static_cast<std::uint32_t>(Installer::kExitNoSpace)) << run.Said();
  }

  TestSupport::InstallerRunsOneAtATime runs;
  TestSupport::TempDir temp;
  std::vector<std::unique_ptr<ScopedEnvironmentVariable>> environment;
  std::wstring programFolder, program, stateFolder, journal;
  int installs = 0;
};

// Killed at many points of an installation (its final send included, which
// the collector answers only after keeping the batch), the next run sends
// every record the killed one had queued: each once, but for the batch in
// flight, which may arrive twice. The funnel that arrives has no gap.
TEST_F(InstallerAnalyticsTest, KilledAtAnyPointItLosesNoQueuedRecord) {
  const std::string pace = ";throttle=1500000";
  const std::string full = PackageServer::NewId("whole");
  Configure(full + ";delay=600", pace);
  const auto start = std::chrono::steady_clock::now();
  {
    RunningInstaller run(Silent());
    ASSERT_EQ(run.Wait(), 0u) << run.Said();
  }
  const auto whole = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(Collector::Shared().EventNames(full), kFunnel);

  // Points spread over the run, denser towards its end, where the final send
  // waits for the collector's answer (starting a process costs more under
  // Wine: fewer points there).
#ifdef _WIN32
  const double shares[] = {0.3, 0.7, 0.9, 0.97};
#else
  const double shares[] = {0.15, 0.4, 0.65, 0.85, 0.93, 0.98};
#endif
  for (const double share : shares) {
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(whole * share);
    SCOPED_TRACE(std::to_string(after.count()) + " ms");
    const std::string killed = PackageServer::NewId("killed");
    Configure(killed + ";delay=600", pace);
    {
      RunningInstaller run(Silent());
      std::this_thread::sleep_for(after);
      run.Kill(9);
      run.Wait();
    }
    const std::vector<std::string> queued = Lines(TestSupport::ReadFileBytes(journal));
    const std::string next = PackageServer::NewId("after-kill");
    RunThatOnlySendsWhatWasLeft(next);

    const std::vector<std::string> before = Collector::Shared().Records(killed);
    const std::vector<std::string> later = Collector::Shared().Records(next);
    for (const std::string& record : queued) {
      EXPECT_NE(std::find(later.begin(), later.end(), record), later.end()) << "lost: " << record;
    }
    std::map<std::string, int> seen;
    for (const auto* records : {&before, &later}) {
      for (const std::string& record : *records) ++seen[TrackId(record)];
    }
    int twice = 0;
    for (const auto& [id, count] : seen) {
      EXPECT_LE(count, 2) << id;
      if (count > 1) ++twice;
    }
    EXPECT_LE(twice, 30);
    std::set<std::string> names;
    for (const std::string& name : Collector::Shared().EventNames(killed)) names.insert(name);
    for (const std::string& name : Collector::Shared().EventNames(next)) names.insert(name);
    std::size_t reached = 0;
    while (reached < kFunnel.size() && names.count(kFunnel[reached]) != 0) ++reached;
    EXPECT_EQ(names.size(), reached) << "a gap in the funnel";
    EXPECT_EQ(TestSupport::ReadFileBytes(journal), "");
    std::cout << "killed after " << after.count() << " ms: " << before.size() << " sent before, " << queued.size()
              << " in the journal, " << twice << " sent twice\n";
  }
}

#ifndef _WIN32
// A fatal signal in the middle of the download: the crash's records, written
// by the crash report through the file opened in advance, arrive with the
// next run, after the funnel the crashed run had reached.
TEST_F(InstallerAnalyticsTest, ACrashedRunsRecordsArriveWithTheNextRun) {
  for (const int signalNumber : {SIGSEGV, SIGABRT}) {
    SCOPED_TRACE(signalNumber);
    const std::string crashed = PackageServer::NewId("crashed");
    Configure(crashed, ";throttle=200000");
    {
      RunningInstaller run(Silent());
      // The download has started once its task is in the journal.
      for (int i = 0; i < 1500 && TestSupport::ReadFileBytes(journal).find("开始下载大包") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      run.Kill(signalNumber);
      EXPECT_EQ(run.Wait(), 128u + static_cast<std::uint32_t>(signalNumber));
    }
    const std::string next = PackageServer::NewId("after-crash");
    RunThatOnlySendsWhatWasLeft(next);
    const std::vector<std::string> names = Collector::Shared().EventNames(next);
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
              (std::vector<std::string>{"安装中", "下载器启动", "开始下载大包"}));
    EXPECT_EQ(names.back(), "崩溃退出");
    const std::vector<std::string> records = Collector::Shared().Records(next);
    EXPECT_NE(records.back().find("\"event\":\"AppCrashed\""), std::string::npos) << records.back();
    EXPECT_TRUE(Collector::Shared().Log(crashed).empty());
  }
}
#endif

// Analytics turned off, in the settings file or on the command line: the run
// sends nothing, creates no identity, deletes what earlier runs staged, and
// ends in order (a use after free at the end showed under AddressSanitizer).
TEST_F(InstallerAnalyticsTest, TurnedOffItSendsNothingKeepsNothingAndEndsInOrder) {
  struct Way {
    const char* what;
    const char* setting;
    std::wstring commandLine;
  };
  const Way ways[] = {{"settings file", "false", L""},
                      {"command line", "true", L"-isenableappanalytics=false"}};
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    ASSERT_TRUE(TestSupport::WriteFileBytes(journal, "{\"_track_id\":1}\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(stateFolder + kSep + L"ZVStaging.rejected.jsonl", "{}\n"));
    const std::string id = PackageServer::NewId("off");
    Configure(id, "", way.setting);
    RunningInstaller run(Silent(way.commandLine));
    EXPECT_EQ(run.Wait(), 0u) << run.Said();
    EXPECT_EQ(run.Said().find("AddressSanitizer"), std::string::npos) << run.Said();
    EXPECT_TRUE(Collector::Shared().Log(id).empty());
    EXPECT_FALSE(Utils::FileExists(journal));
    EXPECT_FALSE(Utils::FileExists(stateFolder + kSep + L"ZVStaging.rejected.jsonl"));
    EXPECT_FALSE(Utils::FileExists(stateFolder + kSep + L"analytics.ini"));
  }
}

}  // namespace
