#include "analytics/location_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "analytics/collector_fixture.h"
#include "package_server_fixture.h"

namespace {

using zorvan::analytics::LocationResult;
using zorvan::analytics::ZvLocationTime;

TEST(LocationTime, CredentialIsTheMd5OfPathKeyAndTime) {
  // md5("/api/location_and_time&&QmTwPzKrVb7HsL4d&1700000000")
  EXPECT_EQ(ZvLocationTime::Credential(1700000000), "ea4a33c0acd2335fc1e0c72214a6d53c");
  EXPECT_NE(ZvLocationTime::Credential(1700000001), ZvLocationTime::Credential(1700000000));
}

TEST(LocationTime, RepliesAreTakenOnlyWhenTheyNameACountry) {
  LocationResult result;
  EXPECT_FALSE(ZvLocationTime::ApplyReply("{\"ip\":\"1.2.3.4\"}", result));
  EXPECT_FALSE(ZvLocationTime::ApplyReply("[\"country\"]", result));
  EXPECT_FALSE(ZvLocationTime::ApplyReply("country, but not JSON", result));
  EXPECT_FALSE(result.present());
  EXPECT_TRUE(ZvLocationTime::ApplyReply("{\"country\":\"Testland\",\"city\":7}", result));
  EXPECT_EQ(result.country, "Testland");
  EXPECT_EQ(result.city, "");
  EXPECT_FALSE(result.present());  // no ip: asked again later
  EXPECT_TRUE(ZvLocationTime::ApplyReply(
      "{\"ip\":\"203.0.113.7\",\"country_code\":\"TL\",\"province\":\"North\"}", result));
  EXPECT_TRUE(result.present());
  EXPECT_EQ(result.country, "Testland");
  EXPECT_EQ(result.countryCode, "TL");
}

TEST(LocationTime, ASignedLookupReachesTheServiceAndKeepsItsResult) {
  TestSupport::Collector& collector = TestSupport::Collector::Shared();
  ASSERT_TRUE(collector.Started()) << collector.Error();
  const std::string id = TestSupport::PackageServer::NewId("location");
  ZvLocationTime::start({collector.LocationUrl(id, true), collector.CaFile()});
  LocationResult result;
  for (int i = 0; i < 1000 && !ZvLocationTime::takeResult(result); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(result.ip, "203.0.113.7");
  EXPECT_EQ(result.country, "Testland");
  EXPECT_EQ(result.countryCode, "TL");
  EXPECT_EQ(result.province, "North");
  EXPECT_EQ(result.city, "Loopback");
  LocationResult again;
  EXPECT_TRUE(ZvLocationTime::takeResult(again));
  ZvLocationTime::stop();
  EXPECT_FALSE(ZvLocationTime::takeResult(again));
  EXPECT_EQ(collector.Log(id), std::vector<std::string>{"location 200"});
}

}  // namespace
