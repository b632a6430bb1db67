// The tracker end to end: the installer's reporters, the tracker and its
// transport, posting to a real collector over loopback.
#include "analytics/tracker_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "analytics/analytics_init.h"
#include "analytics/collector_fixture.h"
#include "analytics/config_file.h"
#include "analytics/funnel_events.h"
#include "analytics/sdk/value_node.h"
#include "analytics/system_facts.h"
#include "support/installer_settings.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using namespace zorvan::analytics;
using TestSupport::Collector;

const ReportExtras kGroupIn = {{L"AB", L"IN"}};

class TrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Collector::Shared().Started()) << Collector::Shared().Error();
    Installer::TheInstallerSettings().isEnableAppAnalytics = true;
  }
  void TearDown() override {
    ShutdownAnalytics();
    Installer::TheInstallerSettings().isEnableAppAnalytics = true;
  }

  TrackerInitParams Params(const std::string& serverUrl) const {
    Installer::InstallerSettings settings;
    settings.exeName = L"TalvorinInstaller.exe";
    settings.analyticsServerUrl = Utils::ToWide(serverUrl, Utils::kCodePageUtf8);
    TrackerInitParams params = TrackerParamsFromSettings(settings);
    params.configFileOverride = Utf8(dir_.File(L"state")) + Sep() + "analytics.ini";
    return params;
  }
  static std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }
  static std::string Sep() { return std::string(1, static_cast<char>(Utils::kPathSeparator)); }
  std::string ConfigFile() const { return Utf8(dir_.File(L"state")) + Sep() + "analytics.ini"; }
  std::wstring StagingFile() const {
    return dir_.File(L"state") + Utils::kPathSeparator + Utils::ToWide(kStagingFileName, Utils::kCodePageUtf8);
  }

  TestSupport::TempDir dir_;
};

// The event properties a task of the installer carries, common ones included.
std::string ExpectedTaskProperties(const std::string& name) {
  zv_transport::PropertiesNode p;
  p.SetString("$lib", "cpp");
  p.SetString("$lib_version", "0.9");
  p.SetString("zv_app_id", "Talvorin.downloader");
  p.SetString("$app_version", "1.7.9");
  p.SetString("$app_id", "Talvorin.downloader");
  p.SetString("zv_app_store", "TalvorinInstaller.exe");
  p.SetString("zv_edition", "china");
  p.SetString("zv_dlapp_id", "Talvorin");
#ifdef _WIN32
  p.SetString("zv_app_platform", "Windows");
  p.SetString("zv_sdk", "WindowsCPP");
#else
  p.SetString("zv_app_platform", "Linux");
  p.SetString("zv_sdk", "LinuxCPP");
#endif
  p.SetString("zv_track_type", "Client");
  p.SetString("zv_sdk_version", "3.3.8");
  const OsNameAndVersion os = QueryOsNameAndVersion();
  p.SetString("$os", os.name);
  p.SetString("$os_version", os.version);
  const LocaleParts locale = QuerySystemLocale();
  p.SetString("zv_l10n_locale", locale.text);
  p.SetString("zv_l10n_language", locale.language);
  p.SetString("zv_l10n_country", locale.country);
  std::int32_t width = 0, height = 0;
  QueryScreenSize(width, height);
  p.SetInteger("$screen_height", height);
  p.SetInteger("$screen_width", width);
  p.SetString("zv_task_name", name);
  p.SetNumber("zv_task_elapsed", 0.0);
  p.SetString("zv_task_result", "Success");
  p.SetBool("$is_first_time", true);
  p.SetString("zvc_ab", "IN");
  return p.ToJson();
}

// The value of a top-level string member in a record's text.
std::string Member(const std::string& record, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const std::size_t at = record.find(key);
  if (at == std::string::npos) return "<missing>";
  const std::size_t start = at + key.size();
  return record.substr(start, record.find('"', start) - start);
}

TEST_F(TrackerTest, ATrackedTaskArrivesWithExactlyTheCatalogueProperties) {
  const std::string id = TestSupport::PackageServer::NewId("task");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  ShutdownAnalytics();

  const auto records = Collector::Shared().Records(id);
  ASSERT_EQ(records.size(), 1u) << testing::PrintToString(Collector::Shared().Log(id));
  const std::string& record = records[0];
  const std::string distinctId = ReadConfigValue(ConfigFile(), "Base", "DistinctId");
  ASSERT_EQ(distinctId.size(), 36u);
  const std::string head = "{\"_track_id\":";
  ASSERT_EQ(record.compare(0, head.size(), head), 0) << record;
  const std::size_t afterId = record.find(',');
  const std::string expected =
      ",\"distinct_id\":\"" + distinctId +
      "\",\"event\":\"ZvEventTask\",\"lib\":{\"$lib\":\"cpp\",\"$lib_method\":\"code\",\"$lib_version\":\"0.9\"},"
      "\"properties\":" + ExpectedTaskProperties("安装成功") + ",\"time\":";
  EXPECT_EQ(record.substr(afterId, expected.size()), expected);
  EXPECT_EQ(record.substr(record.size() - 16), ",\"type\":\"track\"}");
  EXPECT_EQ(record.find("zv_reason"), std::string::npos);
}

TEST_F(TrackerTest, TheInstallersEventsArriveInOrderWithTheirKinds) {
  const std::string id = TestSupport::PackageServer::NewId("funnel");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  ReportClick(L"立即安装", kGroupIn);
  ReportView(L"安装中", kGroupIn);
  ReportTask(L"下载失败原因", 0.0f, L":1.code=28；2.msg=timeout", kGroupIn);
  ReportTask(L"崩溃退出", 0.0f, L"", kGroupIn);
  ReportCrash();
  ShutdownAnalytics();

  const auto records = Collector::Shared().Records(id);
  ASSERT_EQ(records.size(), 5u) << testing::PrintToString(Collector::Shared().Log(id));
  const char* events[] = {"ZvEventClick", "ZvEventView", "ZvEventTask", "ZvEventTask", "AppCrashed"};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(Member(records[i], "event"), events[i]) << i;
  EXPECT_EQ(Member(records[0], "zv_click_type"), "Button");
  EXPECT_EQ(Member(records[0], "zv_name"), "立即安装");
  EXPECT_EQ(Member(records[1], "zv_name"), "安装中");
  EXPECT_EQ(Member(records[2], "zv_reason"), ":1.code=28；2.msg=timeout");
  EXPECT_EQ(Member(records[2], "zv_task_result"), "Success");
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Member(records[i], "zvc_ab"), "IN") << i;
  EXPECT_EQ(Member(records[4], "app_crashed_reason"), "崩溃");
  EXPECT_EQ(records[4].find("zvc_ab"), std::string::npos);
  EXPECT_EQ(records[4].find("$is_first_time"), std::string::npos);
}

TEST_F(TrackerTest, WithTheCollectorDownAtExitTheNextRunSendsTheStagedRecords) {
  InitAnalyticsWith(Params(Collector::Shared().RefusedUrl()));
  ReportTask(L"开始下载大包", 0.0f, L"", kGroupIn);
  ReportTask(L"大包下载完毕", 1.5f, L"", kGroupIn);
  testing::internal::CaptureStderr();
  ShutdownAnalytics();
  testing::internal::GetCapturedStderr();
  EXPECT_NE(TestSupport::ReadFileBytes(StagingFile()), "");

  const std::string id = TestSupport::PackageServer::NewId("restart");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  ShutdownAnalytics();

  const auto records = Collector::Shared().Records(id);
  ASSERT_EQ(records.size(), 3u) << testing::PrintToString(Collector::Shared().Log(id));
  EXPECT_EQ(Member(records[0], "zv_task_name"), "开始下载大包");
  EXPECT_EQ(Member(records[1], "zv_task_name"), "大包下载完毕");
  EXPECT_NE(records[1].find("\"zv_task_elapsed\":1.5,"), std::string::npos);
  EXPECT_EQ(Member(records[2], "zv_task_name"), "安装成功");
  EXPECT_EQ(TestSupport::ReadFileBytes(StagingFile()), "");
}

TEST_F(TrackerTest, AnEmptyServerUrlKeepsEverythingStaged) {
  InitAnalyticsWith(Params(""));
  ReportTask(L"下载器启动", 0.0f, L"", kGroupIn);
  ReportClick(L"立即体验", kGroupIn);
  testing::internal::CaptureStderr();
  ShutdownAnalytics();
  testing::internal::GetCapturedStderr();
  const std::string staged = TestSupport::ReadFileBytes(StagingFile());
  ASSERT_EQ(std::count(staged.begin(), staged.end(), '\n'), 2) << staged;
  EXPECT_NE(staged.find("\"zv_task_name\":\"下载器启动\""), std::string::npos);
  EXPECT_NE(staged.find("\"zv_name\":\"立即体验\""), std::string::npos);
}

TEST_F(TrackerTest, ReportsWhileAnalyticsIsSwitchedOffAreDropped) {
  const std::string id = TestSupport::PackageServer::NewId("off");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  Installer::TheInstallerSettings().isEnableAppAnalytics = false;
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  ReportClick(L"立即安装", kGroupIn);
  ReportCrash();
  ShutdownAnalytics();
  EXPECT_TRUE(Collector::Shared().Log(id).empty());
  EXPECT_EQ(TestSupport::ReadFileBytes(StagingFile()), "");
}

TEST_F(TrackerTest, WithAnalyticsDisabledInTheSettingsNoTrackerExistsAndNoFileIsWritten) {
  const TestSupport::TempDir data;
#ifndef _WIN32
  const TestSupport::ScopedEnvironmentVariable xdg("XDG_DATA_HOME", Utf8(data.path()));
#endif
  Installer::TheInstallerSettings().isEnableAppAnalytics = false;
  InitAnalytics();
  EXPECT_EQ(GlobalTracker(), nullptr);
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  Installer::TheInstallerSettings().isEnableAppAnalytics = true;  // a later command line
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  ShutdownAnalytics();
  EXPECT_EQ(GlobalTracker(), nullptr);
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(data.path())));
}

TEST_F(TrackerTest, AFailingEventIsDroppedAndNamedOnlyWhenALoggerExists) {
  InitAnalyticsWith(Params(""));
  testing::internal::CaptureStdout();
  ReportTask(L"", 0.0f, L"", kGroupIn);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to trackTask\n");
  testing::internal::CaptureStderr();
  ShutdownAnalytics();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(TestSupport::ReadFileBytes(StagingFile()), "");

  // A tracker never initialised has no logger: the failure stays silent.
  AnalyticsTrackerWrapper wrapper(std::make_unique<AnalyticsTrackerImpl>(Params("")));
  testing::internal::CaptureStdout();
  wrapper.trackTask(ZvEventTask{}, ZvContextProperties());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(TrackerTest, ReportsFromManyThreadsAllArrive) {
  const std::string id = TestSupport::PackageServer::NewId("threads");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  std::vector<std::thread> reporters;
  for (int t = 0; t < 4; ++t) {
    reporters.emplace_back([t] {
      for (int i = 0; i < 50; ++i) {
        if (i % 10 == 9) {
          ReportCrash();  // asks for an immediate flush while others report
        } else {
          ReportTask(L"t" + std::to_wstring(t) + L"-" + std::to_wstring(i), 0.0f, L"", kGroupIn);
        }
      }
    });
  }
  for (std::thread& reporter : reporters) reporter.join();
  ShutdownAnalytics();
  const auto records = Collector::Shared().Records(id);
  EXPECT_EQ(records.size(), 200u);
  for (const std::string& line : Collector::Shared().Log(id)) {
    EXPECT_EQ(line.rfind("collect 200 ", 0), 0u) << line;
  }
}

TEST_F(TrackerTest, ALoginSwitchesTheIdentityAndIsRemembered) {
  const std::string id = TestSupport::PackageServer::NewId("login");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  const std::string device = ReadConfigValue(ConfigFile(), "Base", "DistinctId");
  ZvEventLogin user;
  user.userId = "user-7";
  user.userName = "Seven";
  user.userType = ZvUserType::Email;
  GlobalTracker()->trackLogin(user, true, "", ZvContextProperties());
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  ShutdownAnalytics();

  const auto records = Collector::Shared().Records(id);
  ASSERT_EQ(records.size(), 3u) << testing::PrintToString(Collector::Shared().Log(id));
  EXPECT_EQ(Member(records[0], "type"), "track_signup");
  EXPECT_EQ(Member(records[0], "event"), "$SignUp");
  EXPECT_EQ(Member(records[0], "distinct_id"), "user-7");
  EXPECT_EQ(Member(records[0], "original_id"), device);
  EXPECT_EQ(Member(records[1], "event"), "ZvEventLogin");
  EXPECT_EQ(Member(records[1], "zv_type"), "email");
  EXPECT_EQ(Member(records[1], "zv_result"), "Success");
  EXPECT_EQ(Member(records[1], "zv_login_id"), "user-7");
  EXPECT_NE(records[1].find("\"$is_login_id\":true"), std::string::npos);
  EXPECT_EQ(Member(records[2], "distinct_id"), "user-7");
  EXPECT_EQ(Member(records[2], "zv_user_id"), "user-7");
  EXPECT_EQ(ReadConfigValue(ConfigFile(), "Base", "UserId"), "user-7");
  EXPECT_EQ(ReadConfigValue(ConfigFile(), "Base", "isLogined"), "OK");

  // The next run with the same server starts logged in.
  TrackerInitParams params = Params(Collector::Shared().CollectUrl(id));
  InitAnalyticsWith(params);
  ReportClick(L"立即安装", kGroupIn);
  ShutdownAnalytics();
  const auto later = Collector::Shared().Records(id);
  ASSERT_EQ(later.size(), 4u);
  EXPECT_EQ(Member(later[3], "distinct_id"), "user-7");
  EXPECT_NE(later[3].find("\"$is_login_id\":true"), std::string::npos);
}

TEST_F(TrackerTest, ActivityAndLaunchUpdateTheProfile) {
  const std::string id = TestSupport::PackageServer::NewId("activity");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  ZvEventActivity activity;
  activity.appId = "Talvorin";
  GlobalTracker()->trackActivity(activity, ZvContextProperties());
  GlobalTracker()->trackLaunch(ZvContextProperties());
  // Flush-now events flush only what was counted: a counted event makes the
  // end of the tracker send them all.
  ReportClick(L"立即安装", kGroupIn);
  ShutdownAnalytics();
  std::vector<std::string> kinds;
  for (const std::string& record : Collector::Shared().Records(id)) {
    const std::string event = Member(record, "event");
    kinds.push_back(Member(record, "type") + (event == "<missing>" ? "" : ":" + event));
  }
  const std::vector<std::string> expected = {
      "track:ZvEventActivity",
      "profile_set_once", "profile_set_once", "profile_set",  // visit times
      "profile_set", "profile_set", "profile_set", "profile_set", "profile_set", "profile_set",
      "profile_set_once",  // $ios_install_source
      "track:ZvEventLaunch", "track:ZvEventLaunch",
      "profile_set_once", "profile_set_once", "profile_set",
      "profile_set", "profile_set", "profile_set",
      "track:ZvEventClick"};
  EXPECT_EQ(kinds, expected);
}

TEST_F(TrackerTest, ASecondInitialisationHandsTheTransportOver) {
  const std::string first = TestSupport::PackageServer::NewId("first");
  const std::string second = TestSupport::PackageServer::NewId("second");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(first)));
  ReportTask(L"下载器启动", 0.0f, L"", kGroupIn);
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(second)));
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  ShutdownAnalytics();
  const auto sentFirst = Collector::Shared().Records(first);
  const auto sentSecond = Collector::Shared().Records(second);
  ASSERT_EQ(sentFirst.size(), 1u);
  ASSERT_EQ(sentSecond.size(), 1u);
  EXPECT_EQ(Member(sentFirst[0], "zv_task_name"), "下载器启动");
  EXPECT_EQ(Member(sentSecond[0], "zv_task_name"), "安装成功");
}

TEST_F(TrackerTest, WithBackgroundServicesTheLocationIsRememberedAndTheEndStillFlushes) {
  const std::string id = TestSupport::PackageServer::NewId("background");
  TrackerInitParams params = Params(Collector::Shared().CollectUrl(id));
  params.backgroundServices = true;
  params.locationServiceUrl = Collector::Shared().LocationUrl(id);
  InitAnalyticsWith(params);
  LocationResult location;
  for (int i = 0; i < 1000 && !ZvLocationTime::takeResult(location); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(location.ip, "203.0.113.7");
  ReportTask(L"安装成功", 0.0f, L"", kGroupIn);
  ShutdownAnalytics();
  EXPECT_EQ(Collector::Shared().Records(id).size(), 1u);
  EXPECT_EQ(ReadConfigValue(ConfigFile(), "Local", "AssistIP"), "203.0.113.7");
  EXPECT_EQ(ReadConfigValue(ConfigFile(), "Local", "City"), "Loopback");
  EXPECT_FALSE(ZvLocationTime::takeResult(location));
}

// An event that asks to go out now is sent while the program runs, even
// when no counted event is pending, and never on the reporting thread.
TEST_F(TrackerTest, AFlushNowEventIsSentAtOnceEvenWithNothingCounted) {
  const std::string id = TestSupport::PackageServer::NewId("flush-now");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id + ";delay=300")));
  ReportTask(L"下载器启动", 0.0f, L"", kGroupIn);
  ReportCrash();
  std::vector<std::string> records;
  for (int i = 0; i < 1000 && records.size() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    records = Collector::Shared().Records(id);
  }
  ASSERT_EQ(records.size(), 2u) << testing::PrintToString(Collector::Shared().Log(id));
  EXPECT_EQ(Member(records[1], "event"), "AppCrashed");
  ShutdownAnalytics();
  EXPECT_EQ(Collector::Shared().Records(id).size(), 2u);
  EXPECT_EQ(TestSupport::ReadFileBytes(StagingFile()), "");
}

// A collector that takes the connection and never answers: the tracker's
// end is bounded (the bound itself is measured in bench/), and what could
// not go out stays in the journal for the next run, which sends it once.
TEST_F(TrackerTest, AServerThatNeverAnswersLeavesTheRecordsForTheNextRun) {
  const std::string stalled = TestSupport::PackageServer::NewId("never");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(stalled + ";stall;hold=30")));
  for (int i = 0; i < 35; ++i) ReportTask(L"t" + std::to_wstring(i), 0.0f, L"", kGroupIn);
  ReportCrash();  // the flush thread is in a request when the end comes
  for (int i = 0; i < 1000 && Collector::Shared().Log(stalled).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  ShutdownAnalytics();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  testing::internal::GetCapturedStderr();
  RecordProperty("shutdown_ms", static_cast<int>(took.count()));
  std::cout << "the tracker's end took " << took.count() << " ms with a server that never answers\n";
  const std::string staged = TestSupport::ReadFileBytes(StagingFile());
  EXPECT_EQ(std::count(staged.begin(), staged.end(), '\n'), 36) << staged.size();

  const std::string id = TestSupport::PackageServer::NewId("never-next");
  InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
  ShutdownAnalytics();
  const auto records = Collector::Shared().Records(id);
  ASSERT_EQ(records.size(), 36u) << testing::PrintToString(Collector::Shared().Log(id));
  EXPECT_EQ(Member(records[0], "zv_task_name"), "t0");
  EXPECT_EQ(Member(records[35], "event"), "AppCrashed");
}

// A real crash of a real process under the installer's crash report: the
// records prepared in advance reach the journal's crash segment, and the
// next run sends them with what the crashed run had queued, each once.
TEST_F(TrackerTest, ACrashLeavesItsRecordsForTheNextRun) {
#ifdef _WIN32
  const std::wstring child = TestSupport::ProgramFolder() + L"\\talvorin-app-child.exe";
  const char* kinds[] = {"segv"};  // an access violation
#else
  const std::wstring child = TestSupport::ProgramFolder() + L"/talvorin-app-child";
  const char* kinds[] = {"segv", "abort"};
#endif
  for (const char* kind : kinds) {
    SCOPED_TRACE(kind);
    const std::string crashed = TestSupport::PackageServer::NewId("crashed");
    Utils::ChildProcess process;
    process.Start(L"\"" + child + L"\" analytics-crash \"" +
                  Utils::ToWide(Collector::Shared().CollectUrl(crashed), Utils::kCodePageUtf8) + L"\" \"" +
                  Utils::ToWide(ConfigFile(), Utils::kCodePageUtf8) + L"\" " +
                  Utils::ToWide(kind, Utils::kCodePageUtf8));
    char buffer[256];
    while (process.ReadOutput(buffer, sizeof buffer) > 0) {
    }
    EXPECT_NE(process.WaitForExit(), 0u);
    EXPECT_TRUE(Collector::Shared().Log(crashed).empty());

    const std::string id = TestSupport::PackageServer::NewId("after-crash");
    InitAnalyticsWith(Params(Collector::Shared().CollectUrl(id)));
    ShutdownAnalytics();
    const auto records = Collector::Shared().Records(id);
    ASSERT_EQ(records.size(), 3u) << testing::PrintToString(Collector::Shared().Log(id));
    EXPECT_EQ(Member(records[0], "zv_task_name"), "开始下载大包");
    EXPECT_EQ(Member(records[1], "zv_task_name"), "崩溃退出");
    EXPECT_EQ(Member(records[1], "zvc_ab"), "IN");
    EXPECT_EQ(Member(records[2], "event"), "AppCrashed");
    EXPECT_EQ(Member(records[2], "app_crashed_reason"), "崩溃");
    // Stamped when the crash happened, not when the records were prepared.
    auto time = [](const std::string& record) {
      return std::stoll(record.substr(record.rfind("\"time\":") + 7, 13));
    };
    EXPECT_GE(time(records[2]), time(records[0]));
    EXPECT_EQ(TestSupport::ReadFileBytes(StagingFile()), "");
  }
}

}  // namespace
