// The collector checks what it is given: malformed batches, records of the
// wrong shape and unsigned location requests are refused with a reason.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <ctime>

#include "analytics/collector_fixture.h"
#include "analytics/location_time.h"
#include "analytics/sdk/batch_encoding.h"
#include "package_server_fixture.h"

namespace {

using TestSupport::Collector;

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

long Post(const std::string& url, const std::string& body, const std::vector<std::string>& headers,
          std::string& answer) {
  CURL* curl = curl_easy_init();
  curl_slist* list = nullptr;
  for (const std::string& header : headers) list = curl_slist_append(list, header.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  long status = -1;
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  return status;
}

std::string Body(const std::string& batch) { return *zv_transport::EncodeBatchBody(batch); }

constexpr char kGood[] =
    "{\"_track_id\":1,\"distinct_id\":\"d\",\"event\":\"E\",\"lib\":{\"$lib\":\"cpp\",\"$lib_method\":\"code\","
    "\"$lib_version\":\"0.9\"},\"properties\":{\"a\":1},\"time\":5,\"type\":\"track\"}";

TEST(Collector, RefusesMalformedBatchesWithAReason) {
  Collector& collector = Collector::Shared();
  ASSERT_TRUE(collector.Started()) << collector.Error();
  const std::string good = kGood;
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return "[" + text + "]";
  };
  const std::pair<std::string, std::string> cases[] = {
      {"data_list=abc", "the body is not \"data_list=...&gzip=1\"\n"},
      {"data_list=a+b&gzip=1", "data_list is not URL-encoded\n"},
      {"data_list=abc&gzip=1", "data_list is not Base64\n"},
      {"data_list=YWJjZA%3D%3D&gzip=1", "data_list is not gzip\n"},
      {Body("{\"not\":\"an array\"}"), "the batch is not an array of 1 to 30 records\n"},
      {Body(replaced("\"time\":5", "\"time\":\"5\"")), "bad \"time\"\n"},
      {Body(replaced("\"type\":\"track\"", "\"type\":\"tracking\"")), "bad \"type\"\n"},
      {Body(replaced("\"a\":1", "\"1a\":1")), "bad property key \"1a\"\n"},
      {Body(replaced("\"distinct_id\":\"d\"", "\"distinct_id\":\"\"")), "bad \"distinct_id\"\n"},
      {Body(replaced(",\"$lib_version\":\"0.9\"", "")), "bad \"lib\"\n"},
      {Body(replaced("\"event\":\"E\",", "")), "\"event\" does not fit the type\n"},
  };
  const std::string id = TestSupport::PackageServer::NewId("malformed");
  for (const auto& [body, reason] : cases) {
    std::string answer;
    EXPECT_EQ(Post(collector.CollectUrl(id), body, {}, answer), 400) << body;
    EXPECT_EQ(answer, reason) << body;
  }
  EXPECT_TRUE(collector.Records(id).empty());
  std::string answer;
  EXPECT_EQ(Post(collector.CollectUrl(id), Body("[" + good + "," + good + "]"), {}, answer), 200);
  EXPECT_EQ(collector.Records(id), (std::vector<std::string>{good, good}));
  EXPECT_EQ(Post(collector.CollectUrl(id + ";sise=1"), Body("[" + good + "]"), {}, answer), 400);
}

TEST(Collector, TheLocationServiceAnswersSignedRequestsOnly) {
  Collector& collector = Collector::Shared();
  ASSERT_TRUE(collector.Started()) << collector.Error();
  const std::string id = TestSupport::PackageServer::NewId("signed");
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  const std::string time = std::to_string(now);
  const std::string credential = zorvan::analytics::ZvLocationTime::Credential(now);
  const std::string stale = std::to_string(now - 3600);
  struct Case {
    std::vector<std::string> headers;
    long status;
  };
  const Case cases[] = {
      {{"Content-Type:application/json", "X-ZV-Time:" + time, "X-ZV-Credential:" + credential}, 200},
      {{"Content-Type:text/plain", "X-ZV-Time:" + time, "X-ZV-Credential:" + credential}, 400},
      {{"Content-Type:application/json", "X-ZV-Time:" + time, "X-ZV-Credential:00"}, 401},
      {{"Content-Type:application/json", "X-ZV-Credential:" + credential}, 401},
      {{"Content-Type:application/json", "X-ZV-Time:" + stale,
        "X-ZV-Credential:" + zorvan::analytics::ZvLocationTime::Credential(now - 3600)}, 401},
  };
  for (const Case& c : cases) {
    std::string answer;
    EXPECT_EQ(Post(collector.LocationUrl(id), "", c.headers, answer), c.status) << answer;
    if (c.status == 200) {
      EXPECT_EQ(answer.rfind("{\"ip\":\"203.0.113.7\",\"country\":\"Testland\",", 0), 0u) << answer;
    }
  }
  std::string answer;
  EXPECT_EQ(Post(collector.LocationUrl(id + ";no-ip"), "", cases[0].headers, answer), 200);
  EXPECT_EQ(answer.find("\"ip\""), std::string::npos);
}

}  // namespace
