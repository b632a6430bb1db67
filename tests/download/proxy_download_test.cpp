// Downloads, header requests and the analytics requests through a real proxy
// (tinyproxy), chosen by the "ProxyUrl" setting or by the system's proxy
// configuration; the proxy's own log shows what went through it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "analytics/collector_fixture.h"
#include "analytics/location_time.h"
#include "analytics/sdk/batch_encoding.h"
#include "analytics/sdk/http_post.h"
#include "support/installer_settings.h"
#include "download/downloader.h"
#include "download/notification_recorder.h"
#include "package_server_fixture.h"
#include "proxy_fixture.h"
#include "support/curl_proxy.h"
#include "support/file_system.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::NotificationRecorder;
using TestSupport::PackageServer;
using TestSupport::TinyProxy;

constexpr std::size_t kPackageSize = 1572864;

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }

class ScopedProxySetting {
 public:
  explicit ScopedProxySetting(const std::string& value) : old_(Installer::TheInstallerSettings().proxyUrl) {
    Installer::TheInstallerSettings().proxyUrl = Wide(value);
  }
  ~ScopedProxySetting() { Installer::TheInstallerSettings().proxyUrl = old_; }

 private:
  std::wstring old_;
};

// Downloads the scenario with a downloader of `type`; the final code.
std::int32_t Download(int type, const std::string& scenario, const std::wstring& target) {
  NotificationRecorder recorder;
  CDownloader* self = nullptr;
  auto downloader = CreateDownloader(
      type, recorder.Callback([&self](const TestSupport::Notification& n) {
        if (n.code == DL_CODE_RETRY) self->Start();
      }),
      Wide(PackageServer::Shared().EntryUrl(scenario)), target);
  self = downloader.get();
  downloader->Start();
  for (std::size_t outcomes = 1; recorder.WaitForOutcomes(outcomes); ++outcomes) {
    const std::int32_t last = recorder.CodesWithoutProgress().back();
    if (last != DL_CODE_RETRY) {
      downloader.reset();
      return last;
    }
  }
  downloader.reset();
  return 0;
}

std::vector<int> DownloadTypes() {
#ifdef _WIN32
  // Type 2 is the system's own URL download service, which goes its own way.
  return {1, 3};
#else
  return {1, 2, 3};
#endif
}

TEST(ProxyDownload, EveryDownloaderGoesThroughTheConfiguredProxy) {
  ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error();
  TinyProxy open(TinyProxy::Kind::Open);
  ASSERT_TRUE(open.Started()) << open.Error();
  TinyProxy basic(TinyProxy::Kind::Basic);
  ASSERT_TRUE(basic.Started()) << basic.Error();
  struct Case {
    const char* label;
    const TinyProxy& proxy;
    bool credentials;
    bool succeeds;
  };
  const Case cases[] = {
      {"open", open, false, true},
      {"basic-auth", basic, true, true},
      {"basic-auth-missing", basic, false, false},
  };
  for (const Case& c : cases) {
    for (int type : DownloadTypes()) {
      SCOPED_TRACE(std::string(c.label) + " type " + std::to_string(type));
      ScopedProxySetting setting(c.proxy.Address(c.credentials));
      TestSupport::TempDir dir;
      const std::wstring target = dir.File(L"__Package_Talvorin.exe");
      const std::string id = PackageServer::NewId(std::string("proxy-") + c.label + "-" + std::to_string(type));
      std::int32_t outcome = 0;
      {
        // Whatever the environment says must not matter once the setting speaks.
        TestSupport::ScopedEnvironmentVariable environment("http_proxy", "http://127.0.0.1:9");
        outcome = Download(type, id + ";size=" + std::to_string(kPackageSize), target);
      }
      if (c.succeeds) {
        EXPECT_TRUE(c.proxy.Forwarded("GET", "/s/" + id + ";")) << c.proxy.Log();
        EXPECT_EQ(outcome, DL_CODE_SUCCESS);
        EXPECT_EQ(TestSupport::ReadFileBytes(target).size(), kPackageSize);
        // Every request the server saw came through the proxy.
        EXPECT_FALSE(PackageServer::Shared().RequestLog(id).empty());
      } else {
        EXPECT_EQ(outcome, DL_CODE_FAIL);
        EXPECT_FALSE(Utils::FileExists(target));
        // The proxy refused (it logs no request it refuses), and nothing
        // slipped past it to the server.
        {
          std::string seen;
          for (const auto& line : PackageServer::Shared().RequestLog(id)) seen += line + "\n";
          EXPECT_TRUE(seen.empty()) << "the proxy let a request through:\n" << seen << c.proxy.Log();
        }
      }
    }
  }
}

TEST(ProxyDownload, DirectMeansNoProxyWhateverTheSystemSays) {
  ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error();
  // A proxy nobody listens on: any request that took it would fail.
  ScopedProxySetting setting("direct");
  TestSupport::TempDir dir;
  const std::wstring target = dir.File(L"__Package_Talvorin.exe");
  const std::string id = PackageServer::NewId("proxy-direct");
  TestSupport::ScopedEnvironmentVariable environment("http_proxy", "http://127.0.0.1:9");
  EXPECT_EQ(Download(1, id + ";size=" + std::to_string(kPackageSize), target), DL_CODE_SUCCESS);
  EXPECT_EQ(TestSupport::ReadFileBytes(target).size(), kPackageSize);
}

TEST(ProxyDownload, AnalyticsRequestsTakeTheSameProxy) {
  TestSupport::Collector& collector = TestSupport::Collector::Shared();
  ASSERT_TRUE(collector.Started()) << collector.Error();
  TinyProxy basic(TinyProxy::Kind::Basic);
  ASSERT_TRUE(basic.Started()) << basic.Error();
  const std::string proxy = basic.Address(true);

  const std::string batchId = PackageServer::NewId("proxy-batch");
  const zv_transport::PostTarget target{collector.CollectUrl(batchId), collector.CaFile(), proxy};
  const auto body = zv_transport::EncodeBatchBody(
      R"([{"_track_id":1,"distinct_id":"proxy-test","event":"proxy_test",)"
      R"("lib":{"$lib":"cpp","$lib_version":"0.9","$lib_method":"code"},"properties":{},)"
      R"("time":1700000000000,"type":"track"}])");
  ASSERT_TRUE(body);
  EXPECT_EQ(zv_transport::PostBatchBody(target, *body, {}).status, 200);
  EXPECT_TRUE(basic.Forwarded("POST", batchId)) << basic.Log();

  const std::string locationId = PackageServer::NewId("proxy-location");
  zorvan::analytics::ZvLocationTime::start({collector.LocationUrl(locationId), collector.CaFile(), proxy});
  zorvan::analytics::LocationResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!zorvan::analytics::ZvLocationTime::takeResult(result) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  zorvan::analytics::ZvLocationTime::stop();
  EXPECT_TRUE(result.present());
  EXPECT_TRUE(basic.Forwarded("POST", locationId + "/api/location_and_time")) << basic.Log();
}

}  // namespace
