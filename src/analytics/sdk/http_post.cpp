#include "analytics/sdk/http_post.h"

#include <curl/curl.h>

#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "support/curl_proxy.h"
#include "support/debug_log_platform.h"
#include "support/text.h"

namespace zv_transport {

namespace {

std::mutex lastSendMutex;
bool lastSendSucceeded = false;

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* target) {
  std::string name, value;
  if (SplitHeaderLine(std::string(data, size * count), name, value)) {
    (*static_cast<std::map<std::string, std::string>*>(target))[name] = value;
  }
  return size * count;
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

HttpResponse Perform(const PostTarget& target, const std::string& body,
                     const std::map<std::string, std::string>& extraHeaders) {
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) throw std::runtime_error("Couldn't initialize curl handle");
  HttpResponse response;
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, target.url.c_str());
  curl_easy_setopt(h, CURLOPT_POST, 1L);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  // Analytics carry the user's identity: only the real server may read them.
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!target.caBundle.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, target.caBundle.c_str());
  Utils::ApplyProxy(h, target.url, target.proxySetting);
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, kPostTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  std::unique_ptr<curl_slist, ListDeleter> headers;
  for (const auto& [name, value] : extraHeaders) {
    const std::string line = name + ": " + value;
    headers.reset(curl_slist_append(headers.release(), line.c_str()));
  }
  if (headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CollectBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &response.body);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CollectHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &response.headers);
  const CURLcode result = curl_easy_perform(h);
  if (result != CURLE_OK) {
    response.status = -1;
    response.body = curl_easy_strerror(result);
    return response;
  }
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  response.status = status;
  return response;
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

HttpResponse PostForm(const PostTarget& target, const std::string& body,
                      const std::map<std::string, std::string>& extraHeaders) {
  try {
    return Perform(target, body, extraHeaders);
  } catch (const std::exception& error) {
    std::cerr << error.what() << std::endl;
    HttpResponse failed;
    failed.body = error.what();
    return failed;
  }
}

bool PostBatchBody(const PostTarget& target, const std::string& body,
                   const std::map<std::string, std::string>& extraHeaders) {
  const HttpResponse response = PostForm(target, body, extraHeaders);
  const bool succeeded = response.status == 200;
  if (!succeeded) {
    Utils::EmitLogLine(L"[analytics] ZvAnalytics SDK send failed\r\n");
    std::cerr << "ZvAnalytics SDK send failed: " << response.body << std::endl;
  }
  SetLastSendSucceeded(succeeded);
  return succeeded;
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
