#include "analytics/sdk/transfer_setup.h"

namespace zv_transport {

void ConfigureAnalyticsTransfer(CURL* handle, const std::string& caBundle) {
  // Analytics carry the user's identity and the location answer names the
  // user's place: only the real servers may read and answer them.
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!caBundle.empty()) curl_easy_setopt(handle, CURLOPT_CAINFO, caBundle.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
}

std::size_t CollectBoundedBody(char* data, std::size_t size, std::size_t count, void* target) {
  auto* body = static_cast<std::string*>(target);
  const std::size_t bytes = size * count;
  if (body->size() + bytes > kMaxResponseBodyBytes) {
    body->append(data, kMaxResponseBodyBytes - body->size());
    return 0;  // ends the transfer: the status line has been read already
  }
  body->append(data, bytes);
  return bytes;
}

}  // namespace zv_transport
