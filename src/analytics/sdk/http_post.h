// One POST of an encoded batch with libcurl, and the process-wide flag that
// remembers whether the last one succeeded (the tracker flushes on the
// calling thread only while the service answers).
#pragma once

#include <map>
#include <string>

namespace zv_transport {

inline constexpr char kUserAgent[] = "ZvAnalytics CPP SDK 0.9";
inline constexpr long kPostTimeoutSeconds = 3;

struct HttpResponse {
  long status = -1;  // -1: no HTTP exchange completed
  std::string body;  // or the transfer library's error text
  std::map<std::string, std::string> headers;
};

struct PostTarget {
  std::string url;
  // A PEM file of extra certificate authorities; empty: the system's.
  std::string caBundle;
  // The "ProxyUrl" setting (UTF-8): a proxy, "direct", or empty for the
  // system's configuration.
  std::string proxySetting = {};
};

// Certificates and host names are verified; redirects are not followed.
HttpResponse PostForm(const PostTarget& target, const std::string& body,
                      const std::map<std::string, std::string>& extraHeaders);

// Posts the encoded body; true exactly for status 200. Failures are written
// to the debugger channel and the standard error stream. Sets the flag.
bool PostBatchBody(const PostTarget& target, const std::string& body,
                   const std::map<std::string, std::string>& extraHeaders);

bool LastSendSucceeded();
void SetLastSendSucceeded(bool value);

// Splits one response header line: "Name: value" (both sides trimmed), or a
// line without a colon as (line, "present"). False for an empty line.
bool SplitHeaderLine(const std::string& line, std::string& name, std::string& value);

}  // namespace zv_transport
