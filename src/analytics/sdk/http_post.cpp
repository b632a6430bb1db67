#include "analytics/sdk/http_post.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "analytics/sdk/transfer_setup.h"
#include "support/debug_log.h"
#include "support/curl_proxy.h"
#include "support/debug_log_platform.h"
#include "support/text.h"

namespace zv_transport {

namespace {

std::mutex lastSendMutex;
bool lastSendSucceeded = false;

constexpr std::int64_t kLongestRetryAfterSeconds = 24 * 60 * 60;

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* target) {
  auto* headers = static_cast<std::map<std::string, std::string>*>(target);
  std::string name, value;
  // A server that sends header after header gets no more memory than a body.
  if (headers->size() < 200 && SplitHeaderLine(std::string(data, size * count), name, value)) {
    (*headers)[name] = value;
  }
  return size * count;
}

std::int64_t SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int StopAtCutoff(void* cutoff, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* moment = static_cast<const std::atomic<std::int64_t>*>(cutoff);
  return SteadyNow() >= moment->load() ? 1 : 0;
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

HttpResponse Perform(const PostTarget& target, const std::string& body,
                     const std::map<std::string, std::string>& extraHeaders, const PostLimits& limits) {
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) throw std::runtime_error("Couldn't initialize curl handle");
  HttpResponse response;
  CURL* h = easy.get();
  long timeoutMs = static_cast<long>(limits.timeout.count());
  if (limits.cutoff != nullptr) {
    const std::int64_t left = (limits.cutoff->load() - SteadyNow()) / 1000000;
    timeoutMs = static_cast<long>(std::min<std::int64_t>(timeoutMs, left));
    if (timeoutMs <= 0) {
      response.body = "no time left to send";
      return response;
    }
  }
  curl_easy_setopt(h, CURLOPT_URL, target.url.c_str());
  curl_easy_setopt(h, CURLOPT_POST, 1L);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  ConfigureAnalyticsTransfer(h, target.caBundle);
  Utils::ApplyProxy(h, target.url, target.proxySetting);
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  if (limits.cutoff != nullptr) {
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &StopAtCutoff);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<std::int64_t>*>(limits.cutoff));
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  }
  std::unique_ptr<curl_slist, ListDeleter> headers;
  for (const auto& [name, value] : extraHeaders) {
    const std::string line = name + ": " + value;
    headers.reset(curl_slist_append(headers.release(), line.c_str()));
  }
  if (headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CollectBoundedBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &response.body);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CollectHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &response.headers);
  const CURLcode result = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  // A body cut at its bound still leaves the status the server gave.
  if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && status > 0)) {
    response.status = status;
    return response;
  }
  response.status = -1;
  response.body = curl_easy_strerror(result);
  return response;
}

bool SameName(const std::string& a, const char* b) {
  const std::string other = b;
  return a.size() == other.size() &&
         std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool SplitHeaderLine(const std::string& line, std::string& name, std::string& value) {
  const std::string text = Trimmed(line);
  if (text.empty()) return false;
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) {
    name = text;
    value = "present";
  } else {
    name = Trimmed(text.substr(0, colon));
    value = Trimmed(text.substr(colon + 1));
  }
  return true;
}

std::optional<std::chrono::seconds> RetryAfter(const HttpResponse& response, std::int64_t now) {
  for (const auto& [name, value] : response.headers) {
    if (!SameName(name, "Retry-After") || value.empty()) continue;
    std::int64_t seconds = -1;
    if (value.find_first_not_of("0123456789") == std::string::npos) {
      seconds = value.size() > 9 ? kLongestRetryAfterSeconds : std::stoll(value);
    } else {
      const time_t when = curl_getdate(value.c_str(), nullptr);
      if (when == -1) return std::nullopt;
      seconds = std::max<std::int64_t>(0, static_cast<std::int64_t>(when) - now);
    }
    return std::chrono::seconds(std::min(seconds, kLongestRetryAfterSeconds));
  }
  return std::nullopt;
}

HttpResponse PostForm(const PostTarget& target, const std::string& body,
                      const std::map<std::string, std::string>& extraHeaders, const PostLimits& limits) {
  try {
    return Perform(target, body, extraHeaders, limits);
  } catch (const std::exception& error) {
    // The installer's console is for the installation; a send failure is
    // the log's business.
    DEBUG_LOG(L"[analytics] the post failed: %s", Utils::ToWide(error.what(), Utils::kCodePageUtf8).c_str());
    HttpResponse failed;
    failed.body = error.what();
    return failed;
  }
}

HttpResponse PostBatchBody(const PostTarget& target, const std::string& body,
                           const std::map<std::string, std::string>& extraHeaders,
                           const PostLimits& limits) {
  HttpResponse response = PostForm(target, body, extraHeaders, limits);
  const bool succeeded = response.status == 200;
  if (!succeeded) {
    DEBUG_LOG(L"[analytics] ZvAnalytics SDK send failed (status %d): %s", static_cast<int>(response.status),
              Utils::ToWide(response.body.substr(0, 512), Utils::kCodePageUtf8).c_str());
  }
  SetLastSendSucceeded(succeeded);
  return response;
}

bool LastSendSucceeded() {
  std::lock_guard<std::mutex> lock(lastSendMutex);
  return lastSendSucceeded;
}

void SetLastSendSucceeded(bool value) {
  std::lock_guard<std::mutex> lock(lastSendMutex);
  lastSendSucceeded = value;
}

}  // namespace zv_transport
