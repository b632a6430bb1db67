#include "support/proxy_choice.h"

#include <algorithm>
#include <cctype>

namespace Utils {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string TrimSpaces(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> entries;
  std::string current;
  for (char c : list) {
    if (c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!current.empty()) entries.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) entries.push_back(current);
  return entries;
}

// '*' matches any run, everything else itself (letter case already folded).
bool WildcardMatch(const std::string& pattern, const std::string& text) {
  std::size_t p = 0, t = 0, starP = std::string::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string WithScheme(const std::string& proxy) {
  return proxy.find("://") == std::string::npos ? "http://" + proxy : proxy;
}

bool CurlSpeaks(const std::string& scheme) {
  static const char* const kSchemes[] = {"http", "https", "socks4", "socks4a", "socks5", "socks5h"};
  return std::find(std::begin(kSchemes), std::end(kSchemes), scheme) != std::end(kSchemes);
}

// What follows "scheme://" up to the path.
std::string Authority(const std::string& address) {
  const auto start = address.find("://");
  if (start == std::string::npos) return {};
  const std::string rest = address.substr(start + 3);
  return rest.substr(0, rest.find_first_of("/?#"));
}

}  // namespace

std::optional<std::string> ProxyFromSetting(const std::string& setting) {
  const std::string value = TrimSpaces(setting);
  if (value.empty()) return std::nullopt;
  if (Lower(value) == "direct") return std::string();
  return WithScheme(value);
}

std::string ProxyFromSystemAnswer(const std::vector<std::string>& answer) {
  for (const std::string& raw : answer) {
    const std::string entry = TrimSpaces(raw);
    if (entry.empty()) continue;
    const std::string scheme = AddressScheme(entry);
    if (scheme == "direct") return {};
    if (scheme.empty()) return WithScheme(entry);
    // A plain "socks" proxy speaks version 5 first, as libproxy asks.
    if (scheme == "socks") return "socks5" + entry.substr(entry.find("://"));
    if (CurlSpeaks(scheme)) return entry;
  }
  return {};
}

std::string ProxyFromWindowsList(const std::string& list, const std::string& scheme) {
  std::string forEveryScheme;
  for (const std::string& entry : SplitList(list)) {
    const auto equals = entry.find('=');
    if (equals == std::string::npos) {
      if (forEveryScheme.empty()) forEveryScheme = entry;
      continue;
    }
    if (Lower(entry.substr(0, equals)) == Lower(scheme)) return entry.substr(equals + 1);
  }
  return forEveryScheme;
}

bool HostBypassesProxy(const std::string& bypassList, const std::string& host) {
  const std::string name = Lower(host);
  if (name.empty()) return false;
  for (const std::string& raw : SplitList(bypassList)) {
    const std::string entry = Lower(raw);
    if (entry == "<local>") {
      if (name.find('.') == std::string::npos && name.find(':') == std::string::npos) return true;
      continue;
    }
    // An entry may name a scheme or a port; the host part decides here.
    std::string pattern = entry;
    if (const auto scheme = pattern.find("://"); scheme != std::string::npos) pattern = pattern.substr(scheme + 3);
    if (const auto colon = pattern.rfind(':'); colon != std::string::npos && pattern.find(']') == std::string::npos)
      pattern = pattern.substr(0, colon);
    if (WildcardMatch(pattern, name)) return true;
  }
  return false;
}

std::string AddressScheme(const std::string& address) {
  const auto end = address.find("://");
  if (end == std::string::npos || end == 0) return {};
  return Lower(address.substr(0, end));
}

std::string AddressHost(const std::string& address) {
  std::string authority = Authority(address);
  if (const auto at = authority.rfind('@'); at != std::string::npos) authority = authority.substr(at + 1);
  if (!authority.empty() && authority[0] == '[') {
    const auto close = authority.find(']');
    return close == std::string::npos ? std::string() : Lower(authority.substr(1, close - 1));
  }
  return Lower(authority.substr(0, authority.find(':')));
}

bool ProxyHasCredentials(const std::string& proxy) {
  return Authority(WithScheme(proxy)).find('@') != std::string::npos;
}

}  // namespace Utils
