#include "analytics/sdk/record_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "analytics/sdk/record_queue.h"

#include "analytics/collector_fixture.h"
#include "analytics/sdk/batch_encoding.h"
#include "analytics/sdk/record_builder.h"
#include "package_server_fixture.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::Collector;
using zv_transport::RecordQueue;

// A record the collector accepts, told apart by its number.
std::string Record(int number) {
  zv_transport::PropertiesNode properties;
  properties.SetInteger("n", number);
  const auto record = zv_transport::BuildRecord(
      zv_transport::RecordInput{"track", "QueueTest", properties, "device-1", ""},
      zv_transport::RecordContext{nullptr, false, 1700000000000 + number, 100000000 + number});
  return record ? record->ToJson() : std::string();
}

std::vector<std::string> Records(int from, int to) {
  std::vector<std::string> records;
  for (int i = from; i < to; ++i) records.push_back(Record(i));
  return records;
}

class RecordQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(collector().Started()) << collector().Error(); }
  static Collector& collector() { return Collector::Shared(); }
  std::string Staging() const { return Utils::ToNarrow(dir_.File(L"staging.jsonl"), Utils::kCodePageUtf8); }
  std::string Journal() const { return TestSupport::ReadFileBytes(dir_.File(L"staging.jsonl")); }
  static std::string Lines(const std::vector<std::string>& records) {
    std::string text;
    for (const std::string& record : records) text += record + "\n";
    return text;
  }
  TestSupport::TempDir dir_;
};

TEST_F(RecordQueueTest, ThirtyOneRecordsGoOutAsThirtyAndOneInOrder) {
  const std::string id = TestSupport::PackageServer::NewId("batches");
  RecordQueue queue({collector().CollectUrl(id), ""}, Staging());
  for (const std::string& record : Records(0, 31)) queue.Add(record);
  EXPECT_TRUE(queue.Flush());
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_EQ(collector().Log(id), (std::vector<std::string>{"collect 200 30", "collect 200 1"}));
  EXPECT_EQ(collector().Records(id), Records(0, 31));
  EXPECT_TRUE(zv_transport::LastSendSucceeded());
}

TEST_F(RecordQueueTest, AnEmptyQueueSendsNothing) {
  const std::string id = TestSupport::PackageServer::NewId("empty");
  RecordQueue queue({collector().CollectUrl(id), ""}, Staging());
  EXPECT_TRUE(queue.Flush());
  EXPECT_TRUE(collector().Log(id).empty());
}

TEST_F(RecordQueueTest, The1025thRecordEvictsTheOldest) {
  RecordQueue queue({"", ""}, "");
  for (const std::string& record : Records(0, 1025)) queue.Add(record);
  const auto queued = queue.Snapshot();
  ASSERT_EQ(queued.size(), 1024u);
  EXPECT_EQ(queued.front(), Record(1));
  EXPECT_EQ(queued.back(), Record(1024));
}

TEST_F(RecordQueueTest, OnlyStatus200CountsAsDelivered) {
  for (const int status : {201, 204, 404, 503}) {
    const std::string id = TestSupport::PackageServer::NewId("status");
    RecordQueue queue({collector().CollectUrl(id + ";status=" + std::to_string(status)), ""}, "");
    for (const std::string& record : Records(0, 3)) queue.Add(record);
    std::wstring logged;
    testing::internal::CaptureStderr();
    {
      Utils::LogCapture capture([&](const std::wstring& line) { logged += line; });
      EXPECT_FALSE(queue.Flush()) << status;
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    // The failure goes to the diagnostic log, never to the console the
    // installation speaks on; the body of the answer says why (a 204 carries
    // none).
    EXPECT_EQ(errors, "");
    const std::wstring expected = status == 204 ? L"" : L"fault\n";
    EXPECT_NE(logged.find(L"ZvAnalytics SDK send failed (status " + std::to_wstring(status) + L"): " + expected),
              std::wstring::npos);
    EXPECT_FALSE(zv_transport::LastSendSucceeded());
    EXPECT_EQ(queue.Snapshot(), Records(0, 3)) << status;
    EXPECT_EQ(collector().Log(id), std::vector<std::string>{"collect " + std::to_string(status) + " 3 not kept"});
    EXPECT_TRUE(collector().Records(id).empty());
  }
}

TEST_F(RecordQueueTest, AFailedBatchPutsBackItsNewestRecordsWithinTheCap) {
  // The batch of 30 is on its way to a server that never answers; meanwhile
  // 1000 more records arrive, leaving room for 24 of the batch.
  const std::string id = TestSupport::PackageServer::NewId("putback");
  RecordQueue queue({collector().CollectUrl(id + ";stall"), ""}, "");
  for (const std::string& record : Records(0, 30)) queue.Add(record);
  testing::internal::CaptureStderr();
  std::thread flusher([&] { EXPECT_FALSE(queue.Flush()); });
  for (int i = 0; i < 400 && collector().Log(id).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(collector().Log(id), std::vector<std::string>{"collect stalled"});
  EXPECT_EQ(queue.Size(), 0u);
  for (const std::string& record : Records(1000, 2000)) queue.Add(record);
  flusher.join();
  testing::internal::GetCapturedStderr();
  std::vector<std::string> expected = Records(6, 30);
  const auto later = Records(1000, 2000);
  expected.insert(expected.end(), later.begin(), later.end());
  EXPECT_EQ(queue.Snapshot(), expected);
}

TEST_F(RecordQueueTest, StagedRecordsGoFirstAndTheFileIsEmptiedAfterwards) {
  const std::string id = TestSupport::PackageServer::NewId("staged");
  ASSERT_TRUE(TestSupport::WriteFileBytes(dir_.File(L"staging.jsonl"),
                                          Record(1) + "\n\n" + Record(2) + "\r\n{\"cut\":\n" + Record(3) + "\n"));
  RecordQueue queue({collector().CollectUrl(id), ""}, Staging());
  queue.Add(Record(4));
  EXPECT_TRUE(queue.Flush());
  EXPECT_EQ(collector().Records(id), (std::vector<std::string>{Record(1), Record(2), Record(3), Record(4)}));
  EXPECT_EQ(TestSupport::ReadFileBytes(dir_.File(L"staging.jsonl")), "");
}

TEST_F(RecordQueueTest, WithoutAServerEverythingIsStagedAndTheNextRunSendsIt) {
  {
    RecordQueue queue({"", ""}, Staging());
    for (const std::string& record : Records(0, 3)) queue.Add(record);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(queue.Flush());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(queue.Size(), 3u);
  }  // closing stages the queue
  EXPECT_EQ(TestSupport::ReadFileBytes(dir_.File(L"staging.jsonl")),
            Record(0) + "\n" + Record(1) + "\n" + Record(2) + "\n");

  const std::string id = TestSupport::PackageServer::NewId("restaged");
  RecordQueue next({collector().CollectUrl(id), ""}, Staging());
  EXPECT_TRUE(next.Flush());
  EXPECT_EQ(collector().Records(id), Records(0, 3));
}

TEST_F(RecordQueueTest, ARefusedConnectionKeepsTheRecords) {
  RecordQueue queue({collector().RefusedUrl(), ""}, "");
  for (const std::string& record : Records(0, 2)) queue.Add(record);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(queue.Flush());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(queue.Snapshot(), Records(0, 2));
}

TEST_F(RecordQueueTest, HttpsTrustsTheConfiguredAuthorityOnly) {
  const std::string id = TestSupport::PackageServer::NewId("https");
  {
    RecordQueue queue({collector().CollectUrl(id, true), collector().CaFile()}, "");
    queue.Add(Record(1));
    EXPECT_TRUE(queue.Flush());
  }
  EXPECT_EQ(collector().Records(id), std::vector<std::string>{Record(1)});

  // Another authority's bundle: the collector's certificate must be refused.
  TestSupport::PackageServer& other = TestSupport::PackageServer::Shared();
  ASSERT_TRUE(other.Started()) << other.Error();
  const std::string refusedId = TestSupport::PackageServer::NewId("https-wrong-ca");
  RecordQueue queue({collector().CollectUrl(refusedId, true), other.CaFile()}, "");
  queue.Add(Record(2));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(queue.Flush());
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(collector().Log(refusedId).empty());
}

// Every record is in the journal from the moment it is queued, in queue
// order, and leaves it only when the batch that carried it was answered 200.
TEST_F(RecordQueueTest, TheJournalHoldsEveryRecordFromQueueingUntilItsBatchIsAnswered) {
  const std::string id = TestSupport::PackageServer::NewId("journal");
  RecordQueue queue({collector().CollectUrl(id + ";status=503;faulty=1"), ""}, Staging());
  for (const std::string& record : Records(0, 3)) queue.Add(record);
  EXPECT_EQ(Journal(), Lines(Records(0, 3)));  // before any flush or close
  testing::internal::CaptureStderr();
  EXPECT_FALSE(queue.Flush());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(Journal(), Lines(Records(0, 3)));
  queue.Add(Record(3));
  EXPECT_TRUE(queue.Flush());
  EXPECT_EQ(Journal(), "");
  EXPECT_EQ(collector().Records(id), Records(0, 4));
}

// Closing while a batch is on its way (the program ending) cuts the request
// short; the batch stays in the journal and the next run sends it.
TEST_F(RecordQueueTest, ClosingDuringASendKeepsTheBatchForTheNextRun) {
  const std::string id = TestSupport::PackageServer::NewId("close-race");
  auto queue = std::make_unique<RecordQueue>(zv_transport::PostTarget{collector().CollectUrl(id + ";stall"), ""},
                                             Staging());
  for (const std::string& record : Records(0, 40)) queue->Add(record);
  testing::internal::CaptureStderr();
  std::thread flusher([&] { EXPECT_FALSE(queue->Flush()); });
  for (int i = 0; i < 1000 && collector().Log(id).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  queue->Close();
  flusher.join();
  testing::internal::GetCapturedStderr();
  queue.reset();
  EXPECT_EQ(Journal(), Lines(Records(0, 40)));

  const std::string next = TestSupport::PackageServer::NewId("close-race-next");
  RecordQueue restarted({collector().CollectUrl(next), ""}, Staging());
  EXPECT_TRUE(restarted.Flush());
  EXPECT_EQ(collector().Records(next), Records(0, 40));
}

// An answer's body is read up to 64 KiB, whatever the server sends; the
// status still counts.
TEST_F(RecordQueueTest, AnswerBodiesAreReadUpTo64KiB) {
  const std::string id = TestSupport::PackageServer::NewId("big-body");
  const zv_transport::HttpResponse failed =
      zv_transport::PostBatchBody({collector().CollectUrl(id + ";status=500;body=3000000"), ""},
                                  *zv_transport::EncodeBatchBody("[" + Record(1) + "]"), {});
  EXPECT_EQ(failed.status, 500);
  EXPECT_EQ(failed.body, std::string(64 * 1024, 'f'));
  RecordQueue failing({collector().CollectUrl(id + ";status=500;body=3000000"), ""}, "");
  failing.Add(Record(1));
  EXPECT_FALSE(failing.Flush());

  RecordQueue accepted({collector().CollectUrl(id + ";body=3000000"), ""}, "");
  accepted.Add(Record(2));
  EXPECT_TRUE(accepted.Flush());
  EXPECT_EQ(collector().Records(id), std::vector<std::string>{Record(2)});
}

// A server that finds the batch too large gets it in halves, and halves of
// halves, until the pieces fit: nothing is lost or sent twice.
TEST_F(RecordQueueTest, A413SplitsTheBatchUntilThePiecesFit) {
  const std::string id = TestSupport::PackageServer::NewId("split");
  RecordQueue queue({collector().CollectUrl(id + ";max-records=8"), ""}, Staging());
  for (const std::string& record : Records(0, 31)) queue.Add(record);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(queue.Flush());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(collector().Records(id), Records(0, 31));
  EXPECT_EQ(collector().Log(id),
            (std::vector<std::string>{"collect 413 30 not kept", "collect 413 15 not kept", "collect 200 7",
                                      "collect 200 8", "collect 413 15 not kept", "collect 200 7",
                                      "collect 200 8", "collect 200 1"}));
  EXPECT_EQ(Journal(), "");
}

// 429 and 503 with Retry-After: the queue waits when the pause ends before
// its deadline, and otherwise leaves the records queued without asking
// again before the server's time.
TEST_F(RecordQueueTest, RetryAfterIsHonouredWithinTheDeadline) {
  for (const int status : {429, 503}) {
    SCOPED_TRACE(status);
    const std::string id = TestSupport::PackageServer::NewId("retry-after");
    RecordQueue queue({collector().CollectUrl(id + ";status=" + std::to_string(status) +
                                              ";retry-after=1;faulty=1"), ""}, "");
    for (const std::string& record : Records(0, 3)) queue.Add(record);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(queue.Flush(RecordQueue::Clock::now() + std::chrono::seconds(20)));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(collector().Log(id), (std::vector<std::string>{
                                       "collect " + std::to_string(status) + " 3 not kept", "collect 200 3"}));
    EXPECT_EQ(collector().Records(id), Records(0, 3));
  }

  const std::string id = TestSupport::PackageServer::NewId("retry-later");
  RecordQueue queue({collector().CollectUrl(id + ";status=429;retry-after=600"), ""}, "");
  for (const std::string& record : Records(0, 3)) queue.Add(record);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(queue.Flush(RecordQueue::Clock::now() + std::chrono::seconds(3)));
  EXPECT_FALSE(queue.Flush(RecordQueue::Clock::now() + std::chrono::seconds(3)));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(collector().Log(id), std::vector<std::string>{"collect 429 3 not kept"});
  EXPECT_GT(queue.NotBefore(), RecordQueue::Clock::now() + std::chrono::seconds(500));
  EXPECT_EQ(queue.Snapshot(), Records(0, 3));
}

// A batch the server refuses (a 4xx other than 413 and 429) in three runs in
// a row moves to the rejected file and stops blocking the records behind it;
// refusals within one run count once.
TEST_F(RecordQueueTest, ABatchRefusedThreeRunsInARowIsSetAside) {
  const std::string id = TestSupport::PackageServer::NewId("refused");
  const std::wstring rejected = dir_.File(L"staging.rejected.jsonl");
  for (int run = 1; run <= 3; ++run) {
    SCOPED_TRACE(run);
    RecordQueue queue({collector().CollectUrl(id + ";status=400;faulty=5"), ""}, Staging());
    if (run == 1) {
      for (const std::string& record : Records(0, 3)) queue.Add(record);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(queue.Flush(), run == 3);
    EXPECT_EQ(queue.Flush(), run == 3);
    testing::internal::GetCapturedStderr();
    if (run < 3) {
      EXPECT_EQ(Journal(), Lines(Records(0, 3)));
      EXPECT_FALSE(Utils::FileExists(rejected));
    }
  }
  EXPECT_EQ(Journal(), "");
  EXPECT_EQ(TestSupport::ReadFileBytes(rejected), Lines(Records(0, 3)));
  EXPECT_TRUE(collector().Records(id).empty());

  RecordQueue next({collector().CollectUrl(id + ";status=400;faulty=5"), ""}, Staging());
  next.Add(Record(7));
  EXPECT_TRUE(next.Flush());
  EXPECT_EQ(collector().Records(id), std::vector<std::string>{Record(7)});
}

// What a power cut can leave: torn lines (one with a record run into it, one
// cut right after a brace), zeros past the end, and a crash segment whose
// lines were already merged once. Only sound records are
// taken over, each once, and the journal is rewritten with exactly those.
TEST_F(RecordQueueTest, TornLinesAreDroppedAndTheCrashSegmentIsTakenOverOnce) {
  const std::string torn = Record(2).substr(0, Record(2).size() / 2);
  const std::string cutAtBrace = Record(3).substr(0, Record(3).find("},") + 1);
  ASSERT_TRUE(TestSupport::WriteFileBytes(
      dir_.File(L"staging.jsonl"),
      Record(0) + "\n" + Record(1) + "\n" + torn + Record(4) + "\n" + cutAtBrace + "\n" + Record(5) + "\n" +
          Record(8) + std::string("\n\0\0\0", 4)));
  ASSERT_TRUE(TestSupport::WriteFileBytes(dir_.File(L"staging.crash.jsonl"), Record(8) + "\n" + Record(9) + "\n"));
  {
    RecordQueue queue({"", ""}, Staging());
    EXPECT_EQ(queue.Snapshot(), (std::vector<std::string>{Record(0), Record(1), Record(5), Record(8), Record(9)}));
    // Open again, empty, for a crash of this run.
    EXPECT_EQ(TestSupport::ReadFileBytes(dir_.File(L"staging.crash.jsonl")), "");
    EXPECT_EQ(Journal(), Lines({Record(0), Record(1), Record(5), Record(8), Record(9)}));
    queue.Add(Record(10));
  }
  EXPECT_FALSE(Utils::FileExists(dir_.File(L"staging.crash.jsonl")));
  const std::string id = TestSupport::PackageServer::NewId("torn");
  RecordQueue next({collector().CollectUrl(id), ""}, Staging());
  EXPECT_TRUE(next.Flush());
  EXPECT_EQ(collector().Records(id), (std::vector<std::string>{Record(0), Record(1), Record(5), Record(8),
                                                                Record(9), Record(10)}));
}

}  // namespace
