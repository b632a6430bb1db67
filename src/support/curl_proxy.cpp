#include "support/curl_proxy.h"

#include "support/proxy_choice.h"
#include "support/system_proxy.h"

namespace Utils {

std::string ChooseProxy(const std::string& address, const std::string& proxySetting) {
  if (const auto configured = ProxyFromSetting(proxySetting)) return *configured;
  // Local files never go through a proxy; asking for them would only cost a
  // PAC evaluation.
  const std::string scheme = AddressScheme(address);
  if (scheme != "http" && scheme != "https") return {};
  return ProxyFromSystemAnswer(SystemProxiesForAddress(address));
}

CURLcode ApplyProxy(CURL* handle, const std::string& address, const std::string& proxySetting) {
  const std::string proxy = ChooseProxy(address, proxySetting);
  // libcurl copies option strings, so `proxy` may end with this call.
  CURLcode result = curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
  if (result != CURLE_OK || proxy.empty()) return result;
  if (ProxyHasCredentials(proxy)) return curl_easy_setopt(handle, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
#ifdef _WIN32
  // A single colon asks SSPI for the signed-in user's credentials.
  result = curl_easy_setopt(handle, CURLOPT_PROXYUSERPWD, ":");
  if (result == CURLE_OK)
    result = curl_easy_setopt(handle, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
#endif
  return result;
}

}  // namespace Utils
