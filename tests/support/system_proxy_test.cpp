// The user's own proxy configuration, set the way the system keeps it (the
// environment that libproxy reads on Linux; on Windows the registry blob the
// Internet options write, which WinHTTP reads), with a real tinyproxy and a
// PAC file served by the package server.
#include "support/system_proxy.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "support/installer_settings.h"
#include "download/downloader.h"
#include "download/notification_recorder.h"
#include "package_server_fixture.h"
#include "proxy_fixture.h"
#include "support/curl_proxy.h"
#include "support/text.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using TestSupport::PackageServer;
using TestSupport::TinyProxy;

#ifdef _WIN32
// The per-user connection settings as Windows stores them: a version, a
// change counter, flags (2 fixed proxy, 4 PAC address, 8 detection), then
// the proxy list, the bypass list and the PAC address, each as a length and
// its characters.
class SystemProxySetting {
 public:
  SystemProxySetting(const std::string& fixedProxy, const std::string& pacAddress) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    DWORD size = 0;
    if (RegQueryValueExW(key_, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
      old_.emplace(size, '\0');
      RegQueryValueExW(key_, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(old_->data()), &size);
    }
    std::string blob;
    auto dword = [&blob](std::uint32_t value) {
      for (int i = 0; i < 4; ++i) blob += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    auto text = [&](const std::string& value) {
      dword(static_cast<std::uint32_t>(value.size()));
      blob += value;
    };
    dword(0x46);
    dword(1);
    dword(1 | (fixedProxy.empty() ? 0 : 2) | (pacAddress.empty() ? 0 : 4));
    text(fixedProxy);
    text("<local>");
    text(pacAddress);
    blob.append(32, '\0');
    RegSetValueExW(key_, kValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                   static_cast<DWORD>(blob.size()));
  }
  ~SystemProxySetting() {
    if (old_) {
      RegSetValueExW(key_, kValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(old_->data()),
                     static_cast<DWORD>(old_->size()));
    } else {
      RegDeleteValueW(key_, kValue);
    }
    RegCloseKey(key_);
  }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
  static constexpr wchar_t kValue[] = L"DefaultConnectionSettings";
  HKEY key_ = nullptr;
  std::optional<std::string> old_;
};
#else
// libproxy reads the proxy variables, including a PAC address given as
// "pac+http://...".
class SystemProxySetting {
 public:
  SystemProxySetting(const std::string& fixedProxy, const std::string& pacAddress)
      : variable_("http_proxy", pacAddress.empty() ? fixedProxy : "pac+" + pacAddress) {}

 private:
  TestSupport::ScopedEnvironmentVariable variable_;
};
#endif

std::int32_t DownloadWithType1(const std::string& address, const std::wstring& target) {
  TestSupport::NotificationRecorder recorder;
  auto downloader = CreateDownloader(1, recorder.Callback(), Utils::ToWide(address, Utils::kCodePageUtf8), target);
  downloader->Start();
  if (!recorder.WaitForOutcomes(1)) return 0;
  downloader.reset();
  return recorder.CodesWithoutProgress().back();
}

TEST(SystemProxy, FixedProxyAndPacFileOfTheUsersConfiguration) {
  PackageServer& server = PackageServer::Shared();
  ASSERT_TRUE(server.Started()) << server.Error();
  TinyProxy proxy(TinyProxy::Kind::Open);
  ASSERT_TRUE(proxy.Started()) << proxy.Error();
  const std::string proxyHost = "127.0.0.1:" + std::to_string(proxy.Port());
  ASSERT_TRUE(Installer::TheInstallerSettings().proxyUrl.empty());

  struct Case {
    const char* label;
    std::string fixedProxy;
    std::string pacAddress;
  };
  const Case cases[] = {
#ifdef _WIN32
      {"fixed", proxyHost, ""},
#else
      {"fixed", "http://" + proxyHost, ""},
#endif
      {"pac", "", server.BaseUrl() + "/_pac/" + proxyHost},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string id = PackageServer::NewId(std::string("system-proxy-") + c.label);
    const std::string entry = server.EntryUrl(id + ";size=1572864");
    TestSupport::TempDir dir;
    std::int32_t outcome = 0;
    {
      SystemProxySetting setting(c.fixedProxy, c.pacAddress);
      EXPECT_EQ(Utils::ChooseProxy(entry, ""), "http://" + proxyHost);
      // The setting still overrides the system.
      EXPECT_EQ(Utils::ChooseProxy(entry, "direct"), "");
      outcome = DownloadWithType1(entry, dir.File(L"__Package_Talvorin.exe"));
    }
    EXPECT_EQ(outcome, DL_CODE_SUCCESS);
    EXPECT_TRUE(proxy.Forwarded("GET", "/s/" + id + ";")) << proxy.Log();
  }
  // Without any configuration the way is direct.
  EXPECT_EQ(Utils::ChooseProxy(server.EntryUrl("nothing"), ""), "");
}

}  // namespace
