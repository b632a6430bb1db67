// The demo package as the package server hands it out: the server's "file="
// scenario serves this build's demo package under the digest of its bytes.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

#include "install/install_recorder.h"
#include "package_server_fixture.h"
#include "support/digest.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::PackageServer;

struct Reply {
  long status = 0;
  std::string body;
  std::string finalUrl;
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

Reply Get(const std::string& url) {
  Reply reply;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return reply;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  if (curl_easy_perform(curl) == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    char* effective = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
      reply.finalUrl = effective;
    }
  }
  curl_easy_cleanup(curl);
  return reply;
}

TEST(DemoPackageTest, ServedUnderTheDigestOfItsBytesAndAtLeastOneMebibyte) {
  const PackageServer& server = PackageServer::Shared();
  ASSERT_TRUE(server.Started()) << server.Error();
  const std::string bytes = TestSupport::ReadFileBytes(TestSupport::DemoPackagePath());
  ASSERT_GE(bytes.size(), 1024u * 1024u);
  const std::string name = TestSupport::DemoPackageFileName();
  const std::string scenario = PackageServer::NewId("demo") + ";file=" + name;
  const Reply reply = Get(server.EntryUrl(scenario));
  EXPECT_EQ(reply.status, 200);
  const std::string md5 = Utils::FileMd5(Utils::ToNarrow(TestSupport::DemoPackagePath(), Utils::kCodePageAnsi));
  EXPECT_EQ(reply.finalUrl, server.BaseUrl() + "/s/" + scenario + "/" + md5 + "/" + name);
  EXPECT_TRUE(reply.body == bytes);
}

TEST(DemoPackageTest, FileNamesOutsideTheServingFolderAreRefused) {
  const PackageServer& server = PackageServer::Shared();
  ASSERT_TRUE(server.Started()) << server.Error();
  EXPECT_EQ(Get(server.EntryUrl(PackageServer::NewId("demo") + ";file=.hidden")).status, 400);
  EXPECT_EQ(Get(server.EntryUrl(PackageServer::NewId("demo") + ";file=..")).status, 400);
  EXPECT_EQ(Get(server.EntryUrl(PackageServer::NewId("demo") + ";file=no-such-file")).status, 404);
}

}  // namespace
