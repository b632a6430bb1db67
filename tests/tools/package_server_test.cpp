// The package server against a real HTTP client: every address, fault and
// log the download tests rely on, checked through libcurl over loopback.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "package_server_fixture.h"
#include "support/digest.h"

#ifndef _WIN32
#include "support/child_process.h"
#include "test_support.h"
#endif

namespace {

using TestSupport::PackageServer;

struct Request {
  bool head = false;
  std::string range;
  bool https = false;
  bool trustCa = true;
  long maxRedirects = 20;
  long timeoutSeconds = 60;
};

struct Reply {
  CURLcode result = CURLE_OK;
  long status = 0;
  std::string body;
  std::string headers;
  std::string finalUrl;
  curl_off_t length = -1;  // Content-Length of the last answer, -1 when absent
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

Reply Fetch(const PackageServer& server, const std::string& url, const Request& request) {
  Reply reply;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    reply.result = CURLE_FAILED_INIT;
    return reply;
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, request.maxRedirects);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, request.timeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_NOBODY, request.head ? 1L : 0L);
  if (!request.range.empty()) curl_easy_setopt(curl, CURLOPT_RANGE, request.range.c_str());
  if (request.trustCa) curl_easy_setopt(curl, CURLOPT_CAINFO, server.CaFile().c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
  reply.result = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &reply.length);
  char* effective = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    reply.finalUrl = effective;
  }
  curl_easy_cleanup(curl);
  return reply;
}

std::string Md5Hex(const std::string& bytes) {
  Utils::Md5 md5;
  md5.Update(bytes.data(), bytes.size());
  std::array<std::uint8_t, 16> digest{};
  if (!md5.Finish(digest)) return {};
  std::string hex;
  char pair[3];
  for (std::uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  return hex;
}

class PackageServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server().Started()) << server().Error();
  }
  static PackageServer& server() { return PackageServer::Shared(); }
};

constexpr std::size_t kMiB = 1024 * 1024;

// How the final address is expected to look.
enum class Digest { Right, Absent };

struct Case {
  const char* name;
  std::string options;  // after "<id>;size=<size>;seed=<seed>"
  std::size_t size;
  Request request;
  CURLcode result;
  long status;
  std::size_t bodyFirst;   // the body is the package's bytes [bodyFirst, bodyFirst + bodyCount)
  std::size_t bodyCount;
  curl_off_t length;       // the Content-Length the client learns, -1 when absent
  std::string header;      // a header line the answer must carry, or empty
  Digest digest = Digest::Right;
  bool spoiled = false;    // the body must differ from the package in exactly one byte
};

TEST_F(PackageServerTest, ScenariosAnswerAsTheirGrammarSays) {
  const std::size_t big = 3 * kMiB + 7;
  const Request get;
  Request head;
  head.head = true;
  Request firstRange;
  firstRange.range = "1000-1999";
  Request openRange;
  openRange.range = "3145000-";
  Request loop;
  loop.maxRedirects = 5;
  Request impatient;
  impatient.timeoutSeconds = 2;
  Request https;
  https.https = true;

  const std::vector<Case> cases = {
      {"whole package", "", kMiB + 1, get, CURLE_OK, 200, 0, kMiB + 1, kMiB + 1, "Accept-Ranges: bytes"},
      {"head gives the length", "", big, head, CURLE_OK, 200, 0, 0, big, ""},
      {"closed range", "", big, firstRange, CURLE_OK, 206, 1000, 1000, 1000,
       "Content-Range: bytes 1000-1999/3145735"},
      {"open range", "", big, openRange, CURLE_OK, 206, 3145000, big - 3145000,
       static_cast<curl_off_t>(big - 3145000), "Content-Range: bytes 3145000-3145734/3145735"},
      {"ignored range", ";ignore-ranges", big, firstRange, CURLE_OK, 200, 0, big, big, ""},
      {"cut", ";cut=1048576", big, get, CURLE_PARTIAL_FILE, 200, 0, kMiB, big, ""},
      {"cut inside a range", ";cut=10", big, firstRange, CURLE_PARTIAL_FILE, 206, 1000, 10, 1000, ""},
      {"stall", ";stall=5000", big, impatient, CURLE_OPERATION_TIMEDOUT, 200, 0, 5000, big, ""},
      {"head status", ";head-status=500", big, head, CURLE_OK, 500, 0, 0, 6, ""},
      {"get status", ";get-status=404", big, get, CURLE_OK, 404, 0, 0, 6, ""},
      {"get status spares head", ";get-status=404", big, head, CURLE_OK, 200, 0, 0, big, ""},
      {"no length on head", ";no-length", big, head, CURLE_OK, 200, 0, 0, -1, ""},
      {"no length on get", ";no-length", big, get, CURLE_OK, 200, 0, big, -1, ""},
      {"wrong length on head", ";wrong-length=123", big, head, CURLE_OK, 200, 0, 0, 123, ""},
      {"shorter length cuts the body", ";wrong-length=123", big, get, CURLE_OK, 200, 0, 123, 123, ""},
      {"longer length", ";wrong-length=4000000", big, get, CURLE_PARTIAL_FILE, 200, 0, big, 4000000, ""},
      {"no digest", ";no-digest", 5000, get, CURLE_OK, 200, 0, 5000, 5000, "", Digest::Absent},
      {"bad digest", ";bad-md5", 5000, get, CURLE_OK, 200, 0, 5000, 5000, "", Digest::Right, true},
      {"hops", ";redirects=3", 5000, get, CURLE_OK, 200, 0, 5000, 5000, ""},
      {"redirect loop", ";redirect-loop", 5000, loop, CURLE_TOO_MANY_REDIRECTS, 302, 0, 0, 0, ""},
      {"throttled", ";throttle=8000000", kMiB + 1, get, CURLE_OK, 200, 0, kMiB + 1, kMiB + 1, ""},
      {"https", "", kMiB + 1, https, CURLE_OK, 200, 0, kMiB + 1, kMiB + 1, ""},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint64_t seed = 11;
    const std::string id = PackageServer::NewId("table");
    const std::string scenario =
        id + ";size=" + std::to_string(c.size) + ";seed=" + std::to_string(seed) + c.options;
    const Reply reply = Fetch(server(), server().EntryUrl(scenario, c.request.https), c.request);
    const std::string package = PackageServer::GeneratedPackage(seed, c.size);

    EXPECT_EQ(reply.result, c.result) << curl_easy_strerror(reply.result);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.length, c.length);
    if (!c.header.empty()) {
      EXPECT_NE(reply.headers.find(c.header + "\r\n"), std::string::npos) << reply.headers;
    }

    if (c.status == 200 || c.status == 206) {
      const std::string expected = package.substr(c.bodyFirst, c.bodyCount);
      ASSERT_EQ(reply.body.size(), expected.size());
      if (c.spoiled) {
        std::size_t differences = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) differences += reply.body[i] != expected[i];
        EXPECT_EQ(differences, 1u);
      } else {
        EXPECT_TRUE(reply.body == expected) << "the body differs from the generated package";
      }
      // The final address keeps the scenario and carries the package's own
      // digest just before the file name, where the downloaders look for it.
      const std::string prefix = (c.request.https ? server().HttpsBaseUrl() : server().BaseUrl()) +
                                 "/s/" + scenario + "/";
      EXPECT_EQ(reply.finalUrl, prefix + (c.digest == Digest::Right ? Md5Hex(package) : "download") +
                                    "/Talvorin_Setup.exe");
      EXPECT_EQ(Utils::Md5FromUrl(reply.finalUrl),
                c.digest == Digest::Right ? Md5Hex(package) : "download");
    }
  }
}

TEST_F(PackageServerTest, HttpsVerifiesWithTheTestAuthorityOnly) {
  const std::string id = PackageServer::NewId("tls");
  Request trusting;
  trusting.https = true;
  const Reply trusted = Fetch(server(), server().EntryUrl(id + ";size=2000", true), trusting);
  EXPECT_EQ(trusted.result, CURLE_OK) << curl_easy_strerror(trusted.result);
  EXPECT_EQ(trusted.body, PackageServer::GeneratedPackage(0, 2000));

#ifndef _WIN32
  // Wine's Schannel accepts any certificate when no CA is named, so the
  // refusal is checked where the client really consults a trust store.
  Request untrusting = trusting;
  untrusting.trustCa = false;
  const Reply refused = Fetch(server(), server().EntryUrl(id + ";size=2000", true), untrusting);
  EXPECT_EQ(refused.result, CURLE_PEER_FAILED_VERIFICATION) << curl_easy_strerror(refused.result);
  EXPECT_TRUE(refused.body.empty());
#endif
}

TEST_F(PackageServerTest, FaultsHitOnlyTheFirstRequestsOfTheirId) {
  // Two HEAD failures, then the length; the GET counter is separate.
  const std::string heads = PackageServer::NewId("heads");
  const std::string headScenario = heads + ";size=2000000;head-status=503;faulty-heads=2;get-status=500;faulty-gets=0";
  Request head;
  head.head = true;
  const std::vector<long> expected = {503, 503, 200, 200};
  for (long status : expected) {
    const Reply reply = Fetch(server(), server().EntryUrl(headScenario), head);
    EXPECT_EQ(reply.status, status);
  }
  const Reply get = Fetch(server(), server().EntryUrl(headScenario), Request());
  EXPECT_EQ(get.status, 200);
  EXPECT_EQ(get.body.size(), 2000000u);

  // A cut first transfer, then a resumed one that completes the package.
  const std::string gets = PackageServer::NewId("gets");
  const std::string getScenario = gets + ";size=2000000;seed=3;cut=700000;faulty-gets=1";
  const Reply first = Fetch(server(), server().EntryUrl(getScenario), Request());
  EXPECT_EQ(first.result, CURLE_PARTIAL_FILE);
  ASSERT_EQ(first.body.size(), 700000u);
  Request resume;
  resume.range = "700000-";
  const Reply second = Fetch(server(), server().EntryUrl(getScenario), resume);
  EXPECT_EQ(second.result, CURLE_OK);
  EXPECT_EQ(second.status, 206);
  EXPECT_TRUE(first.body + second.body == PackageServer::GeneratedPackage(3, 2000000));

  // Counters belong to their id: a fresh id meets the fault again.
  const std::string other = PackageServer::NewId("gets");
  const Reply again = Fetch(server(), server().EntryUrl(other + ";size=2000000;seed=3;cut=700000;faulty-gets=1"), Request());
  EXPECT_EQ(again.result, CURLE_PARTIAL_FILE);
}

TEST_F(PackageServerTest, LogListsEveryRequestOfItsIdInOrder) {
  const std::string id = PackageServer::NewId("log");
  const std::string scenario = id + ";size=1048600";
  const std::string md5 = Md5Hex(PackageServer::GeneratedPackage(0, 1048600));
  Request head;
  head.head = true;
  Request range;
  range.range = "524300-1048599";
  Fetch(server(), server().EntryUrl(scenario), head);
  Fetch(server(), server().EntryUrl(scenario), range);
  Fetch(server(), server().EntryUrl(PackageServer::NewId("unrelated") + ";size=1048600"), Request());

  const std::string entry = "/s/" + scenario + "/software/456";
  const std::string final = "/s/" + scenario + "/" + md5 + "/Talvorin_Setup.exe";
  const std::vector<std::string> expected = {
      "HEAD " + entry + " -",
      "HEAD " + final + " -",
      "GET " + entry + " bytes=524300-1048599",
      "GET " + final + " bytes=524300-1048599",
  };
  EXPECT_EQ(server().RequestLog(id), expected);
  EXPECT_TRUE(server().RequestLog(PackageServer::NewId("never-used")).empty());
}

TEST_F(PackageServerTest, MalformedScenariosAreRefusedWithTheReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {";size=10", "the scenario has no id"},
      {"x;sise=10", "unknown option \"sise\""},
      {"x;cut=ten", "bad option \"cut=ten\""},
      {"x;head-status=99", "bad option \"head-status=99\""},
      {"x;no-length;wrong-length=5", "no-length and wrong-length exclude each other"},
  };
  for (const auto& [scenario, reason] : cases) {
    SCOPED_TRACE(scenario);
    const Reply reply = Fetch(server(), server().EntryUrl(scenario), Request());
    EXPECT_EQ(reply.status, 400);
    EXPECT_EQ(reply.body, reason + "\n");
  }
}

#ifndef _WIN32
// The server must never outlive the program that reads its ports: once the
// reader of its output goes away it stops by itself, with no signal sent.
TEST(PackageServerLifetime, StopsWhenItsReaderGoesAway) {
  Utils::ChildProcess child;
  child.Start(L"\"" + TestSupport::ProgramFolder() + L"/talvorin-package-server\" --cert-dir \"" +
              TestSupport::ProgramFolder() + L"/package-server-certs\"");
  std::string line;
  char c = 0;
  while (child.ReadOutput(&c, 1) == 1 && c != '\n') line += c;
  ASSERT_EQ(line.rfind("http=", 0), 0u) << line;
  EXPECT_TRUE(child.IsRunning());
  child.outputPipe().CloseRead();
  EXPECT_EQ(child.WaitForExit(), 0u);
}
#endif

}  // namespace
