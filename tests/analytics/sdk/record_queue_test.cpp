#include "analytics/sdk/record_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "analytics/collector_fixture.h"
#include "analytics/sdk/record_builder.h"
#include "package_server_fixture.h"
#include "support/debug_log.h"
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

}  // namespace
