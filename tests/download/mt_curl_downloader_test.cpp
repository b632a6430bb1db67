#include "download/mt_curl_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/installer_settings.h"
#include "download/curl_client.h"
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

constexpr std::size_t kMiB = 1048576;
constexpr char kOldTarget[] = "old target";

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }

// "GET <target> <range>" lines of a request log.
std::vector<std::string> GetRanges(const std::vector<std::string>& log) {
  std::vector<std::string> ranges;
  for (const std::string& line : log)
    if (line.rfind("GET ", 0) == 0) ranges.push_back(line.substr(line.rfind(' ') + 1));
  return ranges;
}

std::size_t CountMethod(const std::vector<std::string>& log, const std::string& method) {
  return static_cast<std::size_t>(std::count_if(
      log.begin(), log.end(), [&](const std::string& line) { return line.rfind(method + " ", 0) == 0; }));
}

// The first byte a "bytes=a-b" range asks for.
std::uint64_t RangeStart(const std::string& range) {
  return std::stoull(range.substr(std::string("bytes=").size()));
}

// Changes a process-wide setting for one test.
class ScopedSettings {
 public:
  ScopedSettings() : saved_(Installer::TheInstallerSettings()) {}
  ~ScopedSettings() {
    Installer::TheInstallerSettings().curlReady = saved_.curlReady;
    Installer::TheInstallerSettings().caBundle = saved_.caBundle;
  }
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

 private:
  Installer::InstallerSettings saved_;
};

class MtCurlDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Started()) << server_.Error();
    ResetTarget();
  }
  // A target from an earlier installation: it must survive every failure.
  void ResetTarget() const { ASSERT_TRUE(TestSupport::WriteFileBytes(target_, kOldTarget)); }

  bool PartFileExists(int index) const {
    return Utils::FileExists(
        Utils::ToWide(CMTCurlDownloader::PartPath(target_, index), Utils::kCodePageAnsi));
  }
  void ExpectNoPartFiles() const {
    EXPECT_FALSE(PartFileExists(0));
    EXPECT_FALSE(PartFileExists(1));
  }
  void ExpectTargetUntouched() const {
    const std::string bytes = TestSupport::ReadFileBytes(target_);
    EXPECT_TRUE(bytes == kOldTarget) << "the target changed; it holds " << bytes.size() << " bytes";
  }
  // The target holds exactly the generated package and nothing is left beside it.
  void ExpectPackage(std::uint64_t seed, std::size_t size) const {
    const std::string bytes = TestSupport::ReadFileBytes(target_);
    EXPECT_EQ(bytes.size(), size);
    EXPECT_TRUE(bytes == PackageServer::GeneratedPackage(seed, size)) << "the package's bytes differ";
    ExpectNoPartFiles();
  }
  static void ExpectProgressInRange(const NotificationRecorder& recorder) {
    for (const double value : recorder.ProgressValues()) {
      EXPECT_GT(value, 0.0);
      EXPECT_LE(value, 1.0);
    }
  }
  // The notification callback that answers a restart request the way the
  // orchestrator does: Start from inside the notification, on its thread.
  NotifyCallback RestartingCallback(NotificationRecorder& recorder, CMTCurlDownloader*& downloader) {
    return recorder.Callback([&downloader](const Notification& n) {
      if (n.code == DL_CODE_RETRY) downloader->Start();
    });
  }

  PackageServer& server_ = PackageServer::Shared();
  TestSupport::TempDir dir_;
  std::wstring target_ = dir_.File(L"__Package_Talvorin.exe");
};

struct SuccessCase {
  const char* label;
  std::string options;  // besides size and seed
  std::size_t size;
  std::vector<std::string> ranges;  // the GET requests' ranges, in any order
  std::vector<std::int32_t> codes;
};

TEST_F(MtCurlDownloaderTest, SucceedsAndSplitsThePackageIntoAtMostTwoRanges) {
  const std::vector<SuccessCase> cases = {
      {"digest, one range", "", 3 * kMiB, {"bytes=0-3145727"}, {DL_CODE_START, DL_CODE_SUCCESS}},
      {"no digest segment", ";no-digest", 3 * kMiB, {"bytes=0-3145727"},
       {DL_CODE_START, DL_CODE_ERROR, DL_CODE_SUCCESS}},
      {"length below 1 MiB", "", 300000, {"bytes=0-299999"}, {DL_CODE_START, DL_CODE_SUCCESS}},
      // A 200 answer with the whole body is that range exactly.
      {"ranges ignored, one range", ";ignore-ranges", 2 * kMiB, {"bytes=0-2097151"},
       {DL_CODE_START, DL_CODE_SUCCESS}},
      {"15 MiB", "", 15 * kMiB, {"bytes=0-15728639"}, {DL_CODE_START, DL_CODE_SUCCESS}},
      {"20 MiB", "", 20 * kMiB, {"bytes=0-10485759", "bytes=10485760-20971519"},
       {DL_CODE_START, DL_CODE_SUCCESS}},
      {"20 MiB + 1", "", 20 * kMiB + 1, {"bytes=0-10485759", "bytes=10485760-20971520"},
       {DL_CODE_START, DL_CODE_SUCCESS}},
  };
  std::uint64_t seed = 100;
  for (const SuccessCase& c : cases) {
    SCOPED_TRACE(c.label);
    ResetTarget();
    ++seed;
    const std::string id = PackageServer::NewId("mt-success");
    const std::string scenario =
        id + ";size=" + std::to_string(c.size) + ";seed=" + std::to_string(seed) + c.options;
    NotificationRecorder recorder;
    CMTCurlDownloader downloader(recorder.Callback(), Wide(server_.EntryUrl(scenario)), target_);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForOutcomes(1));
    EXPECT_EQ(recorder.CodesWithoutProgress(), c.codes);
    const std::vector<Notification> all = recorder.All();
    EXPECT_EQ(all.back().text, L"LibCurl");
    EXPECT_EQ(all.back().value, 0.0);
    if (c.codes.size() == 3) {
      EXPECT_EQ(all[all.size() - 2].text, L"mtcurl获取url-md5失败");
    }
    ExpectProgressInRange(recorder);
    ExpectPackage(seed, c.size);

    std::vector<std::string> ranges = GetRanges(server_.RequestLog(id));
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, c.ranges);
    EXPECT_EQ(CountMethod(server_.RequestLog(id), "HEAD"), 2u) << "the entry address and the final one";
  }
}

TEST_F(MtCurlDownloaderTest, TrustsTheConfiguredAuthorityOverHttps) {
  ScopedSettings settings;
  Installer::TheInstallerSettings().caBundle = Wide(server_.CaFile());
  const std::string id = PackageServer::NewId("mt-https");
  NotificationRecorder recorder;
  CMTCurlDownloader downloader(recorder.Callback(),
                               Wide(server_.EntryUrl(id + ";size=1500000;seed=7", true)), target_);
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForOutcomes(1));
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
  ExpectPackage(7, 1500000);
}

#ifndef _WIN32
// Under Wine, Schannel accepts any certificate unless a CA file is named, so
// only the native build can see an unknown authority refused.
TEST_F(MtCurlDownloaderTest, RefusesAServerItCannotVerify) {
  ScopedSettings settings;
  Installer::TheInstallerSettings().caBundle.clear();
  const std::string id = PackageServer::NewId("mt-untrusted");
  NotificationRecorder recorder;
  CMTCurlDownloader* self = nullptr;
  CMTCurlDownloader downloader(RestartingCallback(recorder, self),
                               Wide(server_.EntryUrl(id + ";size=1500000;seed=7", true)), target_);
  self = &downloader;
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForOutcomes(2));
  EXPECT_EQ(recorder.CodesWithoutProgress(),
            (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
  // The failure names the certificate and the host, not a number.
  const DownloadFailure failure = ParseFailureNotificationText(recorder.All().back().text);
  EXPECT_STREQ(FailureClassKey(failure.kind), "tls-untrusted");
  EXPECT_EQ(failure.host, HostOf(server_.EntryUrl(id, true)));
  EXPECT_NE(FailureConsoleText(failure).find("certificate"), std::string::npos);
  EXPECT_EQ(GetRanges(server_.RequestLog(id)).size(), 0u);
  ExpectTargetUntouched();
}
#endif

struct EarlyFailureCase {
  const char* label;
  std::string options;
  bool curlReady = true;
  bool emptyTarget = false;
  double value = CurlClient::kNoLength;
  const wchar_t* text = L"LibCurl";
  bool anyRequest = true;  // whether the header request reaches the server
  const char* failure = "unknown";  // the class a fallback's failure names
};

// Without a final address and a usable length no range is cut: the attempt
// goes on as one stream, which cannot confirm a length either, so nothing
// is transferred, the part files are never opened, and after the one
// restart the failure is final. Without libcurl or a target it is final at once.
TEST_F(MtCurlDownloaderTest, FailsWithoutAddressAndLength) {
  const std::vector<EarlyFailureCase> cases = {
      {"length missing", ";size=2000000;no-length"},
      {"length of 255 bytes", ";size=255"},
      {"header request refused", ";size=2000000;head-status=404", true, false, CurlClient::kNoLength,
       L"LibCurl", true, "http-status"},
      {"redirect loop", ";size=2000000;redirect-loop"},
      {"libcurl unavailable", ";size=2000000", false, false, 0.0, L"LibCurl", false},
      {"empty target path", ";size=2000000", true, true, 1.0, L"", false},
  };
  for (const EarlyFailureCase& c : cases) {
    SCOPED_TRACE(c.label);
    ResetTarget();
    ScopedSettings settings;
    Installer::TheInstallerSettings().curlReady = c.curlReady;
    const std::string id = PackageServer::NewId("mt-early");
    NotificationRecorder recorder;
    CMTCurlDownloader* self = nullptr;
    CMTCurlDownloader downloader(RestartingCallback(recorder, self), Wide(server_.EntryUrl(id + c.options)),
                                 c.emptyTarget ? std::wstring() : target_);
    self = &downloader;
    downloader.Start();
    const bool fallsBack = c.curlReady && !c.emptyTarget;
    ASSERT_TRUE(recorder.WaitForOutcomes(fallsBack ? 2 : 1));
    const std::vector<Notification> all = recorder.All();
    if (fallsBack) {
      EXPECT_EQ(recorder.CodesWithoutProgress(),
                (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
      std::wstring engine;
      const DownloadFailure failure = ParseFailureNotificationText(all.back().text, &engine);
      EXPECT_EQ(engine, c.text);
      EXPECT_STREQ(FailureClassKey(failure.kind), c.failure);
      EXPECT_EQ(all.back().value, c.value);
    } else {
      ASSERT_EQ(all.size(), 2u);
      EXPECT_EQ(all[0].code, DL_CODE_START);
      EXPECT_EQ(all[0].value, 1.0);
      EXPECT_EQ(all[1].code, DL_CODE_FAIL);
      EXPECT_EQ(all[1].value, c.value);
      EXPECT_EQ(all[1].text, c.text);
    }
    const std::vector<std::string> log = server_.RequestLog(id);
    EXPECT_EQ(CountMethod(log, "GET"), 0u);
    EXPECT_EQ(!log.empty(), c.anyRequest);
    ExpectNoPartFiles();
    ExpectTargetUntouched();
  }
}

struct DigestCase {
  const char* label;
  std::string options;
  std::vector<std::int32_t> codes;
};

// A package that fails its digest is asked for again once in the
// downloader's life; the restart comes from inside the notification.
TEST_F(MtCurlDownloaderTest, RetriesADigestMismatchOnce) {
  const std::vector<DigestCase> cases = {
      {"one mismatch", ";bad-md5;faulty-gets=1",
       {DL_CODE_START, DL_CODE_ERROR, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}},
      {"two mismatches", ";bad-md5",
       {DL_CODE_START, DL_CODE_ERROR, DL_CODE_RETRY, DL_CODE_START, DL_CODE_ERROR, DL_CODE_FAIL}},
      {"one SHA-256 mismatch", ";sha256;bad-md5;faulty-gets=1",
       {DL_CODE_START, DL_CODE_ERROR, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}},
  };
  for (const DigestCase& c : cases) {
    SCOPED_TRACE(c.label);
    ResetTarget();
    const std::string id = PackageServer::NewId("mt-digest");
    NotificationRecorder recorder;
    CMTCurlDownloader* self = nullptr;
    CMTCurlDownloader downloader(RestartingCallback(recorder, self),
                                 Wide(server_.EntryUrl(id + ";size=2000000;seed=9" + c.options)), target_);
    self = &downloader;
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForOutcomes(2));
    EXPECT_EQ(recorder.CodesWithoutProgress(), c.codes);
    for (const Notification& n : recorder.All()) {
      if (n.code == DL_CODE_ERROR) {
        EXPECT_EQ(n.text, L"mtcurl文件md5校验失败");
      }
      if (n.code == DL_CODE_RETRY || n.code == DL_CODE_FAIL) {
        EXPECT_EQ(n.value, 0.0);
      }
      if (n.code == DL_CODE_RETRY) {
        EXPECT_EQ(n.text, L"LibCurl");
      }
      if (n.code == DL_CODE_FAIL) {
        EXPECT_EQ(n.text, L"LibCurl|digest-mismatch||0|");
      }
    }
    // The restart reuses the final address and length learned before.
    EXPECT_EQ(CountMethod(server_.RequestLog(id), "HEAD"), 2u);
    EXPECT_EQ(CountMethod(server_.RequestLog(id), "GET"), 2u);
    if (c.codes.back() == DL_CODE_SUCCESS) {
      ExpectPackage(9, 2000000);
    } else {
      ExpectTargetUntouched();
      ExpectNoPartFiles();
    }
  }
}

struct AttemptFailureCase {
  const char* label;
  std::string options;
  std::size_t size;
  double code;              // libcurl's result in RETRY and FAIL
  std::size_t getsPerAttempt;
  bool restart;             // answer RETRY with Start
};

// Ranges that keep failing are tried seven times each, then the attempt asks
// for a restart; the next attempt that fails too is final.
TEST_F(MtCurlDownloaderTest, GivesUpOnRangesThatKeepFailing) {
  const std::vector<AttemptFailureCase> cases = {
      // A server that goes silent: each try ends at the stall limit.
      {"server keeps timing out", ";stall;hold=30", 2 * kMiB, 28.0, 7, false},
  };
  for (const AttemptFailureCase& c : cases) {
    SCOPED_TRACE(c.label);
    ResetTarget();
    const std::string id = PackageServer::NewId("mt-fail");
    NotificationRecorder recorder;
    CMTCurlDownloader* self = nullptr;
    CMTCurlDownloader downloader(
        c.restart ? RestartingCallback(recorder, self) : recorder.Callback(),
        Wide(server_.EntryUrl(id + ";size=" + std::to_string(c.size) + ";seed=11" + c.options)), target_);
    self = &downloader;
    downloader.SetStallSeconds(1);
    const auto started = std::chrono::steady_clock::now();
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForOutcomes(c.restart ? 2 : 1, std::chrono::seconds(90)));
    const std::vector<std::int32_t> expected =
        c.restart ? std::vector<std::int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}
                  : std::vector<std::int32_t>{DL_CODE_START, DL_CODE_RETRY};
    EXPECT_EQ(recorder.CodesWithoutProgress(), expected);
    for (const Notification& n : recorder.All()) {
      if (n.code == DL_CODE_RETRY || n.code == DL_CODE_FAIL) {
        EXPECT_EQ(n.value, c.code);
      }
      if (n.code == DL_CODE_RETRY) {
        EXPECT_EQ(n.text, L"LibCurl");
      }
      if (n.code == DL_CODE_FAIL) {
        EXPECT_EQ(n.text, L"LibCurl|timed-out|127.0.0.1|0|");
      }
    }
    EXPECT_EQ(recorder.ProgressValues().size(), 0u) << "nothing usable arrived";
    const std::size_t attempts = c.restart ? 2 : 1;
    EXPECT_EQ(CountMethod(server_.RequestLog(id), "GET"), c.getsPerAttempt * attempts);
    if (c.code == 28.0) {
      // Seven tries, each ended by the one-second stall limit, 400 ms apart.
      EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(7));
    }
    ExpectNoPartFiles();
    ExpectTargetUntouched();
  }
}

struct FallbackCase {
  const char* label;
  std::string options;
  std::size_t size;
  std::size_t rangeGets;  // range requests before the attempt turns to one stream
};

// Where two ranges are not possible, the same attempt goes on as one
// stream and succeeds, instead of failing or asking for a restart.
TEST_F(MtCurlDownloaderTest, FallsBackToOneStreamWithinTheAttempt) {
  const std::vector<FallbackCase> cases = {
      // Each range is answered once with the whole package, never retried.
      {"ranges ignored", ";ignore-ranges", 20 * kMiB, 2},
      {"length request answered 500 once", ";head-status=500;faulty-heads=1", 3 * kMiB, 0},
  };
  for (const FallbackCase& c : cases) {
    SCOPED_TRACE(c.label);
    ResetTarget();
    const std::string id = PackageServer::NewId("mt-fallback");
    NotificationRecorder recorder;
    CMTCurlDownloader downloader(
        recorder.Callback(),
        Wide(server_.EntryUrl(id + ";size=" + std::to_string(c.size) + ";seed=14" + c.options)), target_);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForOutcomes(1, std::chrono::seconds(90)));
    EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
    ExpectProgressInRange(recorder);
    ExpectPackage(14, c.size);
    ExpectNoPartFiles();
    const std::vector<std::string> gets = GetRanges(server_.RequestLog(id));
    ASSERT_EQ(gets.size(), c.rangeGets + 1);
    EXPECT_EQ(gets.back(), "-") << "the one stream asks for the whole package";
  }
}

// An attempt that failed after progress keeps its part files; the restart
// asks only for what is missing, and a full part file not at all.
TEST_F(MtCurlDownloaderTest, ResumesFromPartFilesAndSkipsAFullOne) {
  // Every answer is cut after `cut` bytes, and a range gets thirteen tries
  // for cut answers: range 0 (13 cuts long) just completes, range 1 (one
  // byte longer) ends its attempt one byte short.
  constexpr std::size_t cut = 806912;
  constexpr std::size_t size = 2 * 13 * cut + 1;
  const std::string id = PackageServer::NewId("mt-resume");
  NotificationRecorder recorder;
  CMTCurlDownloader* self = nullptr;
  CMTCurlDownloader downloader(
      RestartingCallback(recorder, self),
      Wide(server_.EntryUrl(id + ";size=" + std::to_string(size) + ";seed=12;cut=" + std::to_string(cut))),
      target_);
  self = &downloader;
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForOutcomes(2));
  EXPECT_EQ(recorder.CodesWithoutProgress(),
            (std::vector<std::int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}));
  for (const Notification& n : recorder.All()) {
    if (n.code == DL_CODE_RETRY) {
      EXPECT_EQ(n.value, 18.0);
    }
  }
  EXPECT_FALSE(recorder.ProgressValues().empty());
  ExpectProgressInRange(recorder);
  ExpectPackage(12, size);

  const std::vector<std::string> ranges = GetRanges(server_.RequestLog(id));
  const std::size_t half = size / 2;
  std::vector<std::string> first;
  std::vector<std::string> second;
  for (const std::string& range : ranges) (RangeStart(range) < half ? first : second).push_back(range);
  EXPECT_EQ(first.size(), 13u) << "range 0 is never asked for again once full";
  ASSERT_EQ(second.size(), 14u);
  EXPECT_EQ(second.back(), "bytes=" + std::to_string(size - 1) + "-" + std::to_string(size - 1));
  EXPECT_EQ(ranges.back(), second.back());
}

// Destroying the downloader in the middle of a transfer stops it, waits for
// its threads and tells nobody anything afterwards.
TEST_F(MtCurlDownloaderTest, DestructionStopsARunningAttempt) {
  const std::string id = PackageServer::NewId("mt-destroy");
  NotificationRecorder recorder;
  auto downloader = std::make_unique<CMTCurlDownloader>(
      recorder.Callback(), Wide(server_.EntryUrl(id + ";size=4000000;seed=13;throttle=400000")), target_);
  downloader->Start();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (recorder.ProgressValues().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_FALSE(recorder.ProgressValues().empty());
  const auto destroying = std::chrono::steady_clock::now();
  downloader.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - destroying, std::chrono::seconds(20));
  const std::size_t count = recorder.All().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(recorder.All().size(), count);
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{DL_CODE_START}));
  // What arrived (one range: the package is under 10 MiB) stays, a prefix of
  // the package, beside the record that lets a later run go on from it.
  const std::string part = TestSupport::ReadFileBytes(
      Utils::ToWide(CMTCurlDownloader::PartPath(target_, 0), Utils::kCodePageAnsi));
  EXPECT_GT(part.size(), 0u);
  EXPECT_TRUE(part == PackageServer::GeneratedPackage(13, 4000000).substr(0, part.size()));
  EXPECT_FALSE(PartFileExists(1));
  EXPECT_TRUE(Utils::FileExists(target_ + L".resume"));
  ExpectTargetUntouched();
}

}  // namespace
