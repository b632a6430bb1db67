// Which proxy one request takes, decided from what the user configured and
// what the system's proxy configuration answers. Portable: the answers of
// WinHTTP and libproxy arrive here as text and leave as one libcurl proxy
// address ("" meaning a direct connection).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Utils {

// The value of the "ProxyUrl" setting as a decision: nullopt when it is
// empty (the system decides), "" for "direct" in any letter case (no proxy),
// otherwise the proxy address, with "http://" put in front of a bare
// "host:port".
std::optional<std::string> ProxyFromSetting(const std::string& setting);

// The first usable entry of the system's answer for one address, as libcurl
// takes it: "" for "direct://" (or an empty answer), otherwise the proxy
// address. Entries whose scheme libcurl cannot speak are passed over.
std::string ProxyFromSystemAnswer(const std::vector<std::string>& answer);

// The entry of a Windows proxy list that serves `scheme` ("http", "https"):
// lists are "host:port" for every scheme, or "scheme=host:port" entries
// separated by ';' or white space, where an entry without "scheme=" serves
// every scheme. "" when no entry serves it.
std::string ProxyFromWindowsList(const std::string& list, const std::string& scheme);

// True when `host` is on a Windows bypass list: entries separated by ';' or
// white space, '*' matching any run of characters, letter case ignored, and
// "<local>" matching every host name without a dot.
bool HostBypassesProxy(const std::string& bypassList, const std::string& host);

// The scheme ("http") and host ("example.com", without brackets or port) of
// an address; empty when the address has none.
std::string AddressScheme(const std::string& address);
std::string AddressHost(const std::string& address);

// True when a proxy address carries a user name ("http://user:pw@host:port").
bool ProxyHasCredentials(const std::string& proxy);

}  // namespace Utils
