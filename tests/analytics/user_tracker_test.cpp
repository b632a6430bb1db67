#include "analytics/user_tracker.h"

#include <gtest/gtest.h>

#include "analytics/collector_fixture.h"
#include "analytics/sdk/sdk.h"
#include "analytics/zv_exception.h"
#include "package_server_fixture.h"

namespace {

using zorvan::analytics::NativeUserTracker;
using zorvan::analytics::ZvException;

class UserTrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(collector().Started()) << collector().Error();
    id_ = TestSupport::PackageServer::NewId("profile");
    ASSERT_TRUE(zv_transport::Sdk::Init("", {collector().CollectUrl(id_), ""}, "device-1", false));
  }
  void TearDown() override { zv_transport::Sdk::Shutdown(); }
  static TestSupport::Collector& collector() { return TestSupport::Collector::Shared(); }
  std::vector<std::string> Sent() {
    EXPECT_TRUE(zv_transport::Sdk::Flush());
    return collector().Records(id_);
  }
  std::string id_;
};

std::string Type(const std::string& record) {
  const std::string key = "\"type\":\"";
  const std::size_t at = record.find(key) + key.size();
  return record.substr(at, record.find('"', at) - at);
}

TEST_F(UserTrackerTest, ModesDecideTheRecordOrTheRefusal) {
  NativeUserTracker::ProfileUserPropertyNumber("zv_visit_count", 1);
  NativeUserTracker::ProfileUserPropertyDateTime("$first_visit_time", 1700000000250);
  NativeUserTracker::ProfileUserPropertyDateTime("$first_visit_time", 1700000000250);
  NativeUserTracker::ProfileUserPropertyString("zv_city", "Loopback");
  const std::pair<std::function<void()>, const char*> refused[] = {
      {[] { NativeUserTracker::ProfileUserPropertyString("zv_visit_count", "1"); },
       "user property [zv_visit_count] is string type value, it cannot be accumulated!"},
      {[] { NativeUserTracker::ProfileUserPropertyString("favourite", "x"); },
       "Not supported user property [favourite]!"},
      {[] { NativeUserTracker::ProfileUserPropertyDateTime("zv_paid_count", 1); },
       "user property [zv_paid_count] is boolean value, it cannot be accumulative!"},
  };
  for (const auto& [call, message] : refused) {
    try {
      call();
      ADD_FAILURE() << message;
    } catch (const ZvException& error) {
      EXPECT_STREQ(error.what(), message);
      EXPECT_EQ(error.file(), "analytics/NativeUserTracker.cpp");
    }
  }
  const auto records = Sent();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(Type(records[0]), "profile_increment");
  EXPECT_NE(records[0].find("\"properties\":{\"zv_visit_count\":1}"), std::string::npos);
  EXPECT_EQ(Type(records[1]), "profile_set_once");
  EXPECT_EQ(Type(records[2]), "profile_set_once");
  EXPECT_EQ(Type(records[3]), "profile_set");
  EXPECT_EQ(records[3].find("\"event\""), std::string::npos);
  EXPECT_NE(records[3].find("\"distinct_id\":\"device-1\""), std::string::npos);
}

TEST_F(UserTrackerTest, WithoutALocationNoLocationPropertiesAreQueued) {
  NativeUserTracker::AfterLaunch({"App", "1.0", "store.exe"}, nullptr);
  const auto records = Sent();
  ASSERT_EQ(records.size(), 6u);
  for (const std::string& record : records) EXPECT_EQ(record.find("zv_ip"), std::string::npos);
  zorvan::analytics::LocationResult location;
  location.ip = "203.0.113.7";
  location.city = "Loopback";
  NativeUserTracker::UpdateLocation(location);
  const auto more = Sent();
  ASSERT_EQ(more.size(), 8u);
  EXPECT_NE(more[6].find("\"zv_ip\":\"203.0.113.7\""), std::string::npos);
  EXPECT_NE(more[7].find("\"zv_city\":\"Loopback\""), std::string::npos);
}

}  // namespace
