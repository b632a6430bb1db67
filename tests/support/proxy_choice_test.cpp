#include "support/proxy_choice.h"

#include <gtest/gtest.h>

namespace {

TEST(ProxyChoice, TheSettingDecidesWhenItSaysAnything) {
  struct Case {
    const char* setting;
    std::optional<std::string> proxy;
  };
  const Case cases[] = {
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"direct", ""},
      {" DIRECT ", ""},
      {"127.0.0.1:3128", "http://127.0.0.1:3128"},
      {"http://user:pw@proxy.example:8080", "http://user:pw@proxy.example:8080"},
      {"socks5://127.0.0.1:1080", "socks5://127.0.0.1:1080"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(Utils::ProxyFromSetting(c.setting), c.proxy);
  }
}

TEST(ProxyChoice, SystemAnswersBecomeOneCurlProxy) {
  struct Case {
    std::vector<std::string> answer;
    std::string proxy;
  };
  const Case cases[] = {
      {{}, ""},
      {{"direct://"}, ""},
      {{"http://10.0.0.1:3128", "direct://"}, "http://10.0.0.1:3128"},
      {{"http://u:p@10.0.0.1:3128"}, "http://u:p@10.0.0.1:3128"},
      // A scheme libcurl cannot speak is passed over for the next entry.
      {{"rtsp://10.0.0.1:554", "socks5://10.0.0.2:1080"}, "socks5://10.0.0.2:1080"},
      {{"rtsp://10.0.0.1:554", "direct://", "http://10.0.0.3:80"}, ""},
      {{"10.0.0.4:8080"}, "http://10.0.0.4:8080"},
      {{"socks://10.0.0.5:1080"}, "socks5://10.0.0.5:1080"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.proxy);
    EXPECT_EQ(Utils::ProxyFromSystemAnswer(c.answer), c.proxy);
  }
}

TEST(ProxyChoice, WindowsProxyListsByScheme) {
  struct Case {
    const char* list;
    const char* scheme;
    const char* proxy;
  };
  const Case cases[] = {
      {"proxy:80", "http", "proxy:80"},
      {"proxy:80", "https", "proxy:80"},
      {"http=web:80;https=secure:443", "https", "secure:443"},
      {"HTTP=web:80 https=secure:443", "http", "web:80"},
      {"ftp=files:21", "http", ""},
      {"ftp=files:21;any:3128", "http", "any:3128"},
      {"", "http", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " for " + c.scheme);
    EXPECT_EQ(Utils::ProxyFromWindowsList(c.list, c.scheme), c.proxy);
  }
}

TEST(ProxyChoice, WindowsBypassLists) {
  struct Case {
    const char* list;
    const char* host;
    bool bypass;
  };
  const Case cases[] = {
      {"<local>", "intranet", true},
      {"<local>", "intranet.example", false},
      {"*.example.com;10.*", "files.example.com", true},
      {"*.example.com;10.*", "EXAMPLE.COM", false},
      {"*.example.com;10.*", "10.1.2.3", true},
      {"*.example.com 10.*", "11.1.2.3", false},
      {"download.example.com:8080", "download.example.com", true},
      {"http://download.example.com", "download.example.com", true},
      {"", "anything", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " / " + c.host);
    EXPECT_EQ(Utils::HostBypassesProxy(c.list, c.host), c.bypass);
  }
}

TEST(ProxyChoice, PartsOfAddresses) {
  EXPECT_EQ(Utils::AddressScheme("HTTPS://Host.Example:443/a"), "https");
  EXPECT_EQ(Utils::AddressHost("HTTPS://user:pw@Host.Example:443/a?b"), "host.example");
  EXPECT_EQ(Utils::AddressHost("http://[::1]:8080/x"), "::1");
  EXPECT_EQ(Utils::AddressHost("no scheme"), "");
  EXPECT_TRUE(Utils::ProxyHasCredentials("user:pw@proxy:80"));
  EXPECT_FALSE(Utils::ProxyHasCredentials("http://proxy:80/with@in-path"));
}

}  // namespace
