// The one place where both analytics requests (the batch POST and the
// location lookup) configure their libcurl handle for the network: TLS
// verification with the configured authorities, no signals, and whatever
// else every request of the analytics client must share (a proxy, say).
#pragma once

#include <curl/curl.h>

#include <string>

namespace zv_transport {

// Response bodies are read up to this many bytes; the rest is not read.
inline constexpr std::size_t kMaxResponseBodyBytes = 64 * 1024;

void ConfigureAnalyticsTransfer(CURL* handle, const std::string& caBundle);

// A libcurl write callback that keeps at most kMaxResponseBodyBytes in the
// std::string its data points at, and ends the transfer once more arrives.
std::size_t CollectBoundedBody(char* data, std::size_t size, std::size_t count, void* target);

}  // namespace zv_transport
