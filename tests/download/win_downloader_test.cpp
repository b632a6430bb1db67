#include "download/win_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/installer_settings.h"
#include "download/download_failure.h"
#include "download/notification_recorder.h"
#include "package_server_fixture.h"
#include "support/file_system.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::Notification;
using TestSupport::NotificationRecorder;
using TestSupport::PackageServer;

constexpr char kOldTarget[] = "old target";

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }

// GET requests of the package itself, not of the entry address that
// redirects to it.
std::size_t CountPackageGets(const std::vector<std::string>& log) {
  std::size_t count = 0;
  for (const std::string& line : log)
    if (line.rfind("GET ", 0) == 0 && line.find("/software/") == std::string::npos) ++count;
  return count;
}

TEST(WinDownloaderAddressTest, EncodesEveryAddressButALocalFile) {
  const struct {
    const wchar_t* url;
    const wchar_t* expected;
  } cases[] = {
      {L"http://127.0.0.1:8080/software/456", L"http://127.0.0.1:8080/software/456"},
      {L"http://h/a b/\u00e9.exe", L"http://h/a+b/%C3%A9.exe"},
      {L"file:///C:/a b/\u00e9.exe", L"file:///C:/a b/\u00e9.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(CWinDownloader::ServiceAddress(c.url), c.expected) << c.url;
}

class WinDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Started()) << server_.Error();
    ASSERT_TRUE(TestSupport::WriteFileBytes(target_, kOldTarget));
  }
  void ExpectNothingBeside() const {
    EXPECT_FALSE(Utils::FileExists(target_ + L".part"));
  }

  PackageServer& server_ = PackageServer::Shared();
  TestSupport::TempDir dir_;
  std::wstring target_ = dir_.File(L"__Package_Talvorin.exe");
};

// Plain HTTP: the system's service checks certificates against the system's
// own authorities, which do not know the test server's.
TEST_F(WinDownloaderTest, DownloadsThePackageAndReportsProgress) {
  const std::string id = PackageServer::NewId("win-success");
  NotificationRecorder recorder;
  CWinDownloader downloader(recorder.Callback(), Wide(server_.EntryUrl(id + ";size=3000000;seed=21")),
                            target_);
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForOutcomes(1));
  const std::vector<Notification> all = recorder.All();
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
  EXPECT_EQ(all.back().value, 0.0);
  EXPECT_EQ(all.back().text, L"URLDownloadToFile");
  const std::vector<double> progress = recorder.ProgressValues();
  ASSERT_FALSE(progress.empty());
  for (const double value : progress) {
    EXPECT_GT(value, 0.0);
    EXPECT_LE(value, 1.0);
  }
  EXPECT_TRUE(TestSupport::ReadFileBytes(target_) == PackageServer::GeneratedPackage(21, 3000000))
      << "the package's bytes differ";
  ExpectNothingBeside();
  EXPECT_EQ(CountPackageGets(server_.RequestLog(id)), 1u);
  // A second outcome would have had time to arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
}

struct DigestCase {
  const char* label;
  std::string options;
  bool requireDigest;
  std::vector<std::int32_t> codes;
  const char* failure;  // class of the DL_CODE_FAIL, when one ends the run
  bool installed;       // the served package is at the target at the end
};

// The package is checked against the digest of the final address as the
// libcurl downloaders check it: a mismatch deletes it and asks once for a
// restart (answered with Start from inside the notification, a new
// attempt), and a missing digest is announced, or refused when required.
TEST_F(WinDownloaderTest, ChecksTheDigestOfTheFinalAddress) {
  const std::vector<DigestCase> cases = {
      {"one mismatch", ";bad-md5;faulty-gets=1", false,
       {DL_CODE_START, DL_CODE_ERROR, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}, "", true},
      {"two mismatches", ";bad-md5", false,
       {DL_CODE_START, DL_CODE_ERROR, DL_CODE_RETRY, DL_CODE_START, DL_CODE_ERROR, DL_CODE_FAIL},
       "digest-mismatch", false},
      {"two SHA-256 mismatches", ";sha256;bad-md5", false,
       {DL_CODE_START, DL_CODE_ERROR, DL_CODE_RETRY, DL_CODE_START, DL_CODE_ERROR, DL_CODE_FAIL},
       "digest-mismatch", false},
      {"no digest", ";no-digest", false, {DL_CODE_START, DL_CODE_ERROR, DL_CODE_SUCCESS}, "", true},
      {"no digest, one required", ";no-digest", true, {DL_CODE_START, DL_CODE_ERROR, DL_CODE_FAIL},
       "digest-missing", false},
  };
  for (const DigestCase& c : cases) {
    SCOPED_TRACE(c.label);
    Installer::InstallerSettings saved = Installer::TheInstallerSettings();
    Installer::TheInstallerSettings().requireDigest = c.requireDigest;
    ASSERT_TRUE(TestSupport::WriteFileBytes(target_, kOldTarget));
    const std::string id = PackageServer::NewId("win-digest");
    NotificationRecorder recorder;
    CWinDownloader* self = nullptr;
    auto downloader = std::make_unique<CWinDownloader>(
        recorder.Callback([&self](const Notification& n) {
          if (n.code == DL_CODE_RETRY) self->Start();
        }),
        Wide(server_.EntryUrl(id + ";size=1500000;seed=22" + c.options)), target_);
    self = downloader.get();
    downloader->Start();
    const std::size_t outcomes = static_cast<std::size_t>(
        std::count(c.codes.begin(), c.codes.end(), DL_CODE_RETRY) + 1);
    ASSERT_TRUE(recorder.WaitForOutcomes(outcomes));
    downloader.reset();
    Installer::TheInstallerSettings() = saved;
    EXPECT_EQ(recorder.CodesWithoutProgress(), c.codes);
    const Notification last = recorder.All().back();
    if (last.code == DL_CODE_FAIL) {
      std::wstring engine;
      EXPECT_STREQ(FailureClassKey(ParseFailureNotificationText(last.text, &engine).kind), c.failure);
      EXPECT_EQ(engine, L"URLDownloadToFile");
    }
    if (c.installed) {
      EXPECT_TRUE(TestSupport::ReadFileBytes(target_) == PackageServer::GeneratedPackage(22, 1500000));
    } else {
      EXPECT_FALSE(Utils::FileExists(target_)) << "a package that failed its check is not left to run";
    }
    ExpectNothingBeside();
  }
}

// Refused connections, error pages and answers cut short all fail, each
// attempt reaching the server again, and the target never changes.
TEST_F(WinDownloaderTest, FailsThreeTimesOneSecondApart) {
  const std::string id = PackageServer::NewId("win-fail");
  struct Case {
    const char* label;
    std::string url;
    std::size_t gets;  // package requests the server sees
    const char* failure;
  };
  const std::string errorId = PackageServer::NewId("win-error");
  std::vector<Case> cases = {
      {"connection refused", "http://127.0.0.1:1/software/456", 0, "connection-refused"},
      {"connection cut", server_.EntryUrl(id + ";size=1500000;seed=23;cut=1000"), 3, "short-body"},
      {"server error", server_.EntryUrl(errorId + ";size=1500000;seed=23;get-status=500"), 3, "http-status"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(TestSupport::WriteFileBytes(target_, kOldTarget));
    NotificationRecorder recorder;
    CWinDownloader downloader(recorder.Callback(), Wide(c.url), target_);
    const auto started = std::chrono::steady_clock::now();
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForOutcomes(1, std::chrono::seconds(60)));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2900));
    EXPECT_LT(elapsed, std::chrono::seconds(30));
    const std::vector<Notification> all = recorder.All();
    EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_FAIL}));
#ifdef _WIN32
    EXPECT_LT(all.back().value, 0.0) << "a failure HRESULT";
#else
    EXPECT_GT(all.back().value, 0.0) << "libcurl's result, never a Windows number";
#endif
    std::wstring engine;
    const DownloadFailure failure = ParseFailureNotificationText(all.back().text, &engine);
    EXPECT_EQ(engine, L"URLDownloadToFile");
    EXPECT_STREQ(FailureClassKey(failure.kind), c.failure)
        << "the result was 0x" << std::hex << static_cast<std::uint32_t>(static_cast<std::int32_t>(all.back().value));
    EXPECT_EQ(failure.host, L"127.0.0.1");
    if (c.gets > 0) {
      const auto log = server_.RequestLog(c.url.find(errorId) != std::string::npos ? errorId : id);
      EXPECT_EQ(CountPackageGets(log), c.gets);
    }
    EXPECT_TRUE(TestSupport::ReadFileBytes(target_) == kOldTarget) << "the target changed";
    ExpectNothingBeside();
  }
}

TEST_F(WinDownloaderTest, AnEmptyTargetPathFailsAtOnce) {
  const std::string id = PackageServer::NewId("win-empty");
  NotificationRecorder recorder;
  CWinDownloader downloader(recorder.Callback(), Wide(server_.EntryUrl(id + ";size=1500000;seed=24")),
                            std::wstring());
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForOutcomes(1));
  const std::vector<Notification> all = recorder.All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].code, DL_CODE_START);
  EXPECT_EQ(all[1].code, DL_CODE_FAIL);
  EXPECT_EQ(all[1].value, 1.0);
  EXPECT_EQ(all[1].text, L"");
  EXPECT_TRUE(server_.RequestLog(id).empty());
}

}  // namespace
