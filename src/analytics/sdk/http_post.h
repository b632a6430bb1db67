// One POST of an encoded batch with libcurl, and the process-wide flag that
// remembers whether the last one succeeded.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace zv_transport {

inline constexpr char kUserAgent[] = "ZvAnalytics CPP SDK 0.9";
inline constexpr long kPostTimeoutSeconds = 3;

struct HttpResponse {
  long status = -1;  // -1: no HTTP exchange completed
  std::string body;  // (at most 64 KiB of it) or the transfer library's error text
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

// How long one request may take: `timeout` at most, and never past the
// moment `cutoff` holds (steady-clock nanoseconds; read while the request
// runs, so that another thread can cut a request short).
struct PostLimits {
  std::chrono::milliseconds timeout{kPostTimeoutSeconds * 1000};
  const std::atomic<std::int64_t>* cutoff = nullptr;
};

// Certificates and host names are verified; redirects are not followed.
HttpResponse PostForm(const PostTarget& target, const std::string& body,
                      const std::map<std::string, std::string>& extraHeaders,
                      const PostLimits& limits = PostLimits());

// Posts the encoded body; status 200 means delivered. Failures are written
// to the debugger channel and the standard error stream. Sets the flag.
HttpResponse PostBatchBody(const PostTarget& target, const std::string& body,
                           const std::map<std::string, std::string>& extraHeaders,
                           const PostLimits& limits = PostLimits());

bool LastSendSucceeded();
void SetLastSendSucceeded(bool value);

// Splits one response header line: "Name: value" (both sides trimmed), or a
// line without a colon as (line, "present"). False for an empty line.
bool SplitHeaderLine(const std::string& line, std::string& name, std::string& value);

// The wait a Retry-After header asks for (delta seconds or an HTTP date,
// against `now` in Unix seconds), at most a day; nothing when the response
// has none or it cannot be read.
std::optional<std::chrono::seconds> RetryAfter(const HttpResponse& response, std::int64_t now);

}  // namespace zv_transport
