// The user's own proxy configuration, as the operating system states it.
#pragma once

#include <string>
#include <vector>

namespace Utils {

// The proxies the system's configuration names for `address`, best first,
// each "scheme://[user:password@]host:port" or "direct://". Empty when the
// system gave no answer (which means a direct connection).
// May block while a PAC file is fetched or evaluated; safe on any thread.
std::vector<std::string> SystemProxiesForAddress(const std::string& address);

}  // namespace Utils
