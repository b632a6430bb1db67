#include "analytics/location_time.h"

#include <curl/curl.h>
#include <json/json.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include "analytics/sdk/transfer_setup.h"
#include "support/curl_proxy.h"
#include "support/digest.h"

namespace zorvan::analytics {

namespace {

struct Control {
  LocationServiceConfig config;
  std::atomic<bool> running{false};
  std::atomic<bool> stopRequested{false};
  std::mutex resultMutex;
  LocationResult result;
};

std::mutex globalMutex;
std::shared_ptr<Control> current;

bool HasResult(Control& control) {
  std::unique_lock<std::mutex> lock(control.resultMutex, std::try_to_lock);
  return lock.owns_lock() && control.result.present();
}

void RequestOnce(CURL* handle, Control& control) {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  curl_easy_reset(handle);
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Content-Type:application/json");
  headers = curl_slist_append(headers, ("X-ZV-Time:" + std::to_string(now)).c_str());
  headers = curl_slist_append(headers, ("X-ZV-Credential:" + ZvLocationTime::Credential(now)).c_str());
  std::string body;
  curl_easy_setopt(handle, CURLOPT_URL, control.config.url.c_str());
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, "");
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, 0L);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  zv_transport::ConfigureAnalyticsTransfer(handle, control.config.caBundle);
  Utils::ApplyProxy(handle, control.config.url, control.config.proxySetting);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, 1000L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, 2000L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &zv_transport::CollectBoundedBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  const CURLcode code = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(headers);
  // A reply past the body's bound is no reply this client reads.
  if (code != CURLE_OK || status != 200) return;
  LocationResult reply;
  {
    std::lock_guard<std::mutex> lock(control.resultMutex);
    reply = control.result;
  }
  if (!ZvLocationTime::ApplyReply(body, reply)) return;
  std::lock_guard<std::mutex> lock(control.resultMutex);
  control.result = reply;
}

void Lookup(std::shared_ptr<Control> control) {
  std::unique_ptr<CURL, void (*)(CURL*)> handle(curl_easy_init(), curl_easy_cleanup);
  if (handle) {
    while (!control->stopRequested) {
      if (HasResult(*control)) break;
      RequestOnce(handle.get(), *control);
      if (HasResult(*control)) break;
      for (int step = 0; step < 50 && !control->stopRequested; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
  }
  control->running = false;
}

}  // namespace

void ZvLocationTime::start(const LocationServiceConfig& config) {
  std::lock_guard<std::mutex> lock(globalMutex);
  if (current) {
    if (current->running || HasResult(*current)) return;
  } else {
    current = std::make_shared<Control>();
  }
  current->config = config;
  current->stopRequested = false;
  current->running = true;
  // The thread holds its own reference, so stop() never frees what it uses.
  std::thread(Lookup, current).detach();
}

bool ZvLocationTime::takeResult(LocationResult& target) {
  std::shared_ptr<Control> control;
  {
    std::lock_guard<std::mutex> lock(globalMutex);
    control = current;
  }
  if (!control) return false;
  std::unique_lock<std::mutex> lock(control->resultMutex, std::try_to_lock);
  if (!lock.owns_lock() || !control->result.present()) return false;
  target = control->result;
  return true;
}

void ZvLocationTime::stop() {
  std::shared_ptr<Control> control;
  {
    std::lock_guard<std::mutex> lock(globalMutex);
    control.swap(current);
  }
  if (!control) return;
  control->stopRequested = true;
  while (control->running) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::string ZvLocationTime::Credential(std::int64_t unixSeconds) {
  const std::string text = std::string(kApiPath) + "&&" + kAccessKey + "&" + std::to_string(unixSeconds);
  Utils::Md5 md5;
  md5.Update(text.data(), text.size());
  std::array<std::uint8_t, 16> digest{};
  if (!md5.Finish(digest)) return std::string();
  std::string hex;
  char pair[3];
  for (const std::uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  return hex;
}

bool ZvLocationTime::ApplyReply(const std::string& body, LocationResult& result) {
  if (body.find("country") == std::string::npos) return false;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  if (!reader->parse(body.data(), body.data() + body.size(), &root, nullptr) || !root.isObject()) {
    return false;
  }
  auto take = [&](const char* member, std::string& field) {
    const Json::Value& value = root[member];
    if (value.isString()) field = value.asString();
  };
  take("ip", result.ip);
  take("country", result.country);
  take("country_code", result.countryCode);
  take("province", result.province);
  take("city", result.city);
  return true;
}

}  // namespace zorvan::analytics
