#include "download/curl_downloader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "download/download_failure.h"
#include "download/notification_recorder.h"
#include "package_server_fixture.h"
#include "support/digest.h"
#include "support/file_system.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::Notification;
using TestSupport::NotificationRecorder;
using TestSupport::PackageServer;

constexpr std::size_t kMiB = 1048576;
const std::string kOldTarget = "the previous package";
const std::wstring kNoDigest = L"curl获取url-md5失败";
const std::wstring kBadDigest = L"curl文件md5校验失败";

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }

PackageServer& Server() { return PackageServer::Shared(); }

std::vector<std::string> Gets(const std::vector<std::string>& log) {
  std::vector<std::string> gets;
  for (const std::string& line : log)
    if (line.rfind("GET ", 0) == 0) gets.push_back(line);
  return gets;
}

std::string RangeOf(const std::string& logLine) { return logLine.substr(logLine.rfind(' ') + 1); }

std::size_t Outcomes(const std::vector<std::int32_t>& codes) {
  std::size_t n = 0;
  for (std::int32_t code : codes)
    if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || code == DL_CODE_RETRY) ++n;
  return n;
}

// What the target holds once the downloader is done.
enum class Target { Served, Untouched, Deleted };

TEST(CCurlDownloader, NotificationSequencesAgainstTheServer) {
  ASSERT_TRUE(Server().Started()) << Server().Error();
  struct Case {
    const char* label;
    std::string options;  // besides size and seed
    std::size_t size;
    std::vector<std::int32_t> codes;  // without progress
    double outcomeValue;              // of the last notification
    std::wstring errorText;           // of DL_CODE_ERROR, when one is expected
    Target target;
    std::vector<std::string> ranges;  // of the GET requests, in order; empty: not checked
    long stallSeconds = CurlClient::kDefaultStallSeconds;
    FailureClass failure = FailureClass::kUnknown;  // named by a DL_CODE_FAIL
  };
  constexpr long kDefaultStall = CurlClient::kDefaultStallSeconds;
  const std::vector<Case> cases = {
      {"digest", "", 3 * kMiB / 2, {1001, 1003}, 0.0, L"", Target::Served, {"-"}},
      {"no-digest", "no-digest", 3 * kMiB / 2, {1001, 1006, 1003}, 0.0, kNoDigest, Target::Served, {"-"}},
      // The RETRY is answered with Start from inside the notification.
      {"one-mismatch", "bad-md5;faulty-gets=1", 3 * kMiB / 2, {1001, 1006, 1005, 1001, 1003}, 0.0,
       kBadDigest, Target::Served, {"-", "-"}},
      // The package that failed its digest is deleted, never left to be run.
      {"two-mismatches", "bad-md5", 3 * kMiB / 2, {1001, 1006, 1005, 1001, 1006, 1004}, 0.0, kBadDigest,
       Target::Deleted, {"-", "-"}, kDefaultStall, FailureClass::kDigestMismatch},
      // 64 digits before the file name are a SHA-256 digest, checked as such.
      {"sha256", "sha256", 3 * kMiB / 2, {1001, 1003}, 0.0, L"", Target::Served, {"-"}},
      {"sha256-mismatches", "sha256;bad-md5", 3 * kMiB / 2, {1001, 1006, 1005, 1001, 1006, 1004}, 0.0,
       kBadDigest, Target::Deleted, {"-", "-"}, kDefaultStall, FailureClass::kDigestMismatch},
      // Every cut counts one of twelve; each try resumes where the last stopped.
      {"cut-every-time", "cut=524288", 2 * kMiB, {1001, 1003}, 0.0, L"", Target::Served,
       {"-", "bytes=524288-", "bytes=1048576-", "bytes=1572864-"}},
      // Six tries 500 ms apart, then libcurl's time-out result.
      {"stalls", "stall;hold=5", 2 * kMiB, {1001, 1004}, CURLE_OPERATION_TIMEDOUT, L"", Target::Untouched,
       {"-", "-", "-", "-", "-", "-"}, 1, FailureClass::kTimedOut},
      {"body-refused", "get-status=404", 2 * kMiB, {1001, 1004}, CURLE_HTTP_RETURNED_ERROR, L"",
       Target::Untouched, {"-", "-", "-", "-", "-", "-"}, kDefaultStall, FailureClass::kHttpStatus},
      {"length-refused", "head-status=503", 2 * kMiB, {1001, 1004}, CurlClient::kNoLength, L"",
       Target::Untouched, {}, kDefaultStall, FailureClass::kHttpStatus},
      {"under-1mib", "", kMiB - 1, {1001, 1004}, CurlClient::kNoLength, L"", Target::Untouched, {}},
      {"no-length", "no-length", 2 * kMiB, {1001, 1004}, CurlClient::kNoLength, L"", Target::Untouched, {}},
  };
  unsigned seed = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ++seed;
    TestSupport::TempDir dir;
    const std::wstring target = dir.File(L"__Package_Talvorin.exe");
    ASSERT_TRUE(TestSupport::WriteFileBytes(target, kOldTarget));
    ASSERT_TRUE(TestSupport::WriteFileBytes(target + L".part", "stale bytes of an earlier run"));
    const std::string id = PackageServer::NewId(c.label);
    std::string scenario = id + ";size=" + std::to_string(c.size) + ";seed=" + std::to_string(seed);
    if (!c.options.empty()) scenario += ";" + c.options;

    NotificationRecorder recorder;
    std::atomic<CCurlDownloader*> self{nullptr};
    auto downloader = std::make_unique<CCurlDownloader>(
        recorder.Callback([&self](const Notification& n) {
          if (n.code == DL_CODE_RETRY) self.load()->Start();
        }),
        Wide(Server().EntryUrl(scenario)), target);
    self = downloader.get();
    downloader->SetStallSeconds(c.stallSeconds);
    downloader->Start();
    EXPECT_TRUE(recorder.WaitForOutcomes(Outcomes(c.codes)));
    downloader.reset();

    EXPECT_EQ(recorder.CodesWithoutProgress(), c.codes);
    const std::vector<Notification> all = recorder.All();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().value, c.outcomeValue);
    if (all.back().code == DL_CODE_SUCCESS) {
      EXPECT_EQ(all.back().text, kEngineLibCurl);
    }
    if (all.back().code == DL_CODE_FAIL) {
      std::wstring engine;
      const DownloadFailure failure = ParseFailureNotificationText(all.back().text, &engine);
      EXPECT_EQ(engine, kEngineLibCurl);
      EXPECT_STREQ(FailureClassKey(failure.kind), FailureClassKey(c.failure));
      if (c.failure == FailureClass::kHttpStatus) {
        EXPECT_EQ(failure.status, c.options == "get-status=404" ? 404 : 503);
      }
      if (c.failure != FailureClass::kDigestMismatch) {
        EXPECT_EQ(failure.host, L"127.0.0.1");
      }
    }
    for (const Notification& n : all) {
      if (n.code == DL_CODE_START) {
        EXPECT_EQ(n.value, 1.0);
      }
      if (n.code == DL_CODE_ERROR) {
        EXPECT_EQ(n.text, c.errorText);
        EXPECT_EQ(n.value, 0.0);
      }
      if (n.code == DL_CODE_RETRY) {
        EXPECT_EQ(n.text, kEngineLibCurl);
      }
      if (n.code == DL_CODE_PROGRESS) {
        EXPECT_GT(n.value, 0.0);
        EXPECT_LE(n.value, 1.0);
      }
    }

    const std::vector<std::string> gets = Gets(Server().RequestLog(id));
    if (c.ranges.empty()) {
      EXPECT_TRUE(gets.empty()) << "no body request without a confirmed length";
    } else {
      ASSERT_EQ(gets.size(), c.ranges.size());
      for (std::size_t i = 0; i < gets.size(); ++i) EXPECT_EQ(RangeOf(gets[i]), c.ranges[i]) << gets[i];
    }

    const std::string served = PackageServer::GeneratedPackage(seed, c.size);
    const std::string held = TestSupport::ReadFileBytes(target);
    switch (c.target) {
      case Target::Served:
        EXPECT_TRUE(held == served) << "the target holds exactly the served bytes";
        break;
      case Target::Untouched:
        EXPECT_EQ(held, kOldTarget);
        break;
      case Target::Deleted:
        EXPECT_FALSE(Utils::FileExists(target));
        break;
    }
    // A side file of an earlier run without a record beside it is never
    // continued (the first GET asks for the whole package above), and a
    // download that ended left nothing a later run could go on from.
    EXPECT_FALSE(Utils::FileExists(target + L".part")) << "no side file is left";
    EXPECT_FALSE(Utils::FileExists(target + L".resume")) << "no record is left";
  }
}

TEST(CCurlDownloader, EmptyTargetPathFailsAtOnceWithoutARequest) {
  ASSERT_TRUE(Server().Started()) << Server().Error();
  const std::string id = PackageServer::NewId("empty-target");
  NotificationRecorder recorder;
  {
    CCurlDownloader downloader(recorder.Callback(), Wide(Server().EntryUrl(id + ";size=2097152")), L"");
    downloader.Start();
    EXPECT_TRUE(recorder.WaitForOutcomes(1));
  }
  const std::vector<Notification> all = recorder.All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].code, DL_CODE_START);
  EXPECT_EQ(all[1].code, DL_CODE_FAIL);
  EXPECT_EQ(all[1].value, 1.0);
  EXPECT_EQ(all[1].text, L"");
  EXPECT_TRUE(Server().RequestLog(id).empty());
  EXPECT_FALSE(Utils::FileExists(L".part"));
}

// Attempts never overlap, whichever thread asks for them, and a downloader
// that is destroyed mid-transfer stops at once without a further word.
TEST(CCurlDownloader, StartsQueueUpAndDestructionStopsAStalledTransfer) {
  ASSERT_TRUE(Server().Started()) << Server().Error();
  TestSupport::TempDir dir;
  const std::wstring target = dir.File(L"package.exe");
  const std::string id = PackageServer::NewId("queued");
  NotificationRecorder recorder;
  CCurlDownloader downloader(recorder.Callback(),
                             Wide(Server().EntryUrl(id + ";size=1048576;seed=7")), target);
  downloader.Start();
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForOutcomes(2));
  EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{1001, 1003, 1001, 1003}));
  EXPECT_EQ(TestSupport::ReadFileBytes(target), PackageServer::GeneratedPackage(7, kMiB));

  const std::string stalled = PackageServer::NewId("destroyed");
  NotificationRecorder quiet;
  const auto began = std::chrono::steady_clock::now();
  {
    CCurlDownloader doomed(quiet.Callback(),
                           Wide(Server().EntryUrl(stalled + ";size=2097152;stall=1000;hold=30")),
                           dir.File(L"doomed.exe"));
    doomed.Start();
    // Wait until the body request is under way.
    for (int i = 0; i < 200 && Gets(Server().RequestLog(stalled)).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20))
      << "the stalled transfer is abandoned, not waited out";
  EXPECT_EQ(quiet.CodesWithoutProgress(), (std::vector<std::int32_t>{1001}));
  // What arrived stays beside its record for a later run.
  EXPECT_EQ(TestSupport::ReadFileBytes(dir.File(L"doomed.exe.part")), PackageServer::GeneratedPackage(0, 1000));
  EXPECT_TRUE(Utils::FileExists(dir.File(L"doomed.exe.resume")));
}

}  // namespace
