// The one place where a libcurl easy handle learns its proxy: every request
// of the installer (downloads, header requests, analytics batches, the
// location lookup) passes through it, so all of them take the same way out.
#pragma once

#include <curl/curl.h>

#include <string>

namespace Utils {

// The proxy for `address`: the "ProxyUrl" setting (UTF-8) when it is not
// empty ("direct": none), otherwise the system's proxy configuration.
// "" means a direct connection.
std::string ChooseProxy(const std::string& address, const std::string& proxySetting);

// Sets the chosen proxy on `handle`, always explicitly, so that libcurl's own
// reading of the environment never decides behind the system's back. A proxy
// that answers 407 gets the credentials of its address (Basic and the other
// schemes libcurl knows); without any, on Windows, the signed-in user's own
// (Negotiate or NTLM through SSPI).
CURLcode ApplyProxy(CURL* handle, const std::string& address, const std::string& proxySetting);

}  // namespace Utils
