// System proxy on Linux, through libproxy:
// - the proxy environment variables (http_proxy, https_proxy, no_proxy, and
//   "pac+http://..." or "wpad://" in them),
// - the desktop's proxy settings, where a plugin for the desktop is installed,
// - PAC files, evaluated by libproxy's PAC runner plugin.
#include <proxy.h>

#include <mutex>

#include "support/system_proxy.h"

namespace Utils {

namespace {

// One factory for the process: it caches the configuration and the PAC file,
// and libproxy allows lookups on it from any thread.
pxProxyFactory* Factory() {
  static pxProxyFactory* factory = px_proxy_factory_new();
  return factory;
}

}  // namespace

std::vector<std::string> SystemProxiesForAddress(const std::string& address) {
  std::vector<std::string> answer;
  pxProxyFactory* factory = Factory();
  if (!factory || address.empty()) return answer;
  char** proxies = px_proxy_factory_get_proxies(factory, address.c_str());
  if (!proxies) return answer;
  for (char** entry = proxies; *entry; ++entry) answer.emplace_back(*entry);
  px_proxy_factory_free_proxies(proxies);
  return answer;
}

}  // namespace Utils
