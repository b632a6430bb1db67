// System proxy on Windows, WinHTTP's view of the current user's settings:
// - automatic detection (WPAD through DHCP and DNS) and a PAC file address,
//   both evaluated by WinHttpGetProxyForUrl, signing in to the PAC server
//   with the user's own credentials when it asks;
// - the fixed proxy list ("host:port" or "http=host:port;https=...") with
//   its bypass list, when automatic configuration is off or finds nothing.
#include <windows.h>
#include <winhttp.h>

#include "support/proxy_choice.h"
#include "support/system_proxy.h"
#include "support/text.h"

namespace Utils {

namespace {

std::string Narrow(const wchar_t* text) { return text ? ToNarrow(text, kCodePageUtf8) : std::string(); }

void Release(wchar_t* text) {
  if (text) GlobalFree(text);
}

// One session for the process: WinHTTP keeps what automatic detection and
// PAC files found in it, so later requests do not fetch them again.
HINTERNET AutoProxySession() {
  static HINTERNET session = [] {
    HINTERNET opened = WinHttpOpen(L"Talvorin Installer", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    // Discovery must not hold an installation up for long on a network
    // without WPAD.
    if (opened) WinHttpSetTimeouts(opened, 5000, 5000, 10000, 10000);
    return opened;
  }();
  return session;
}

// The answer of automatic configuration, or false when it found nothing.
bool AutomaticProxy(const std::wstring& address, bool detect, const wchar_t* pacAddress,
                    std::vector<std::string>& answer) {
  HINTERNET session = AutoProxySession();
  if (!session) return false;
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (detect) {
    options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  if (pacAddress && *pacAddress) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = pacAddress;
  }
  WINHTTP_PROXY_INFO info{};
  options.fAutoLogonIfChallenged = FALSE;
  BOOL found = WinHttpGetProxyForUrl(session, address.c_str(), &options, &info);
  if (!found && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
    options.fAutoLogonIfChallenged = TRUE;
    found = WinHttpGetProxyForUrl(session, address.c_str(), &options, &info);
  }
  if (!found) return false;
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy) {
    const std::string list = Narrow(info.lpszProxy);
    const std::string scheme = AddressScheme(Narrow(address.c_str()));
    const std::string proxy = ProxyFromWindowsList(list, scheme);
    if (!proxy.empty() && !HostBypassesProxy(Narrow(info.lpszProxyBypass), AddressHost(Narrow(address.c_str()))))
      answer.push_back(proxy);
  }
  answer.emplace_back("direct://");
  Release(info.lpszProxy);
  Release(info.lpszProxyBypass);
  return true;
}

}  // namespace

std::vector<std::string> SystemProxiesForAddress(const std::string& address) {
  std::vector<std::string> answer;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (address.empty() || !WinHttpGetIEProxyConfigForCurrentUser(&config)) return answer;
  const std::wstring wideAddress = ToWide(address, kCodePageUtf8);
  const bool automatic = config.fAutoDetect || (config.lpszAutoConfigUrl && *config.lpszAutoConfigUrl);
  if (!(automatic && AutomaticProxy(wideAddress, config.fAutoDetect, config.lpszAutoConfigUrl, answer)) &&
      config.lpszProxy) {
    const std::string proxy = ProxyFromWindowsList(Narrow(config.lpszProxy), AddressScheme(address));
    if (!proxy.empty() && !HostBypassesProxy(Narrow(config.lpszProxyBypass), AddressHost(address)))
      answer.push_back(proxy);
  }
  Release(config.lpszAutoConfigUrl);
  Release(config.lpszProxy);
  Release(config.lpszProxyBypass);
  return answer;
}

}  // namespace Utils
