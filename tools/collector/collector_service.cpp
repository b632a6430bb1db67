#include "collector_service.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

#include "batch_decoding.h"
#include "lower_hex.h"

namespace Collector {

std::atomic<bool> CollectorService::stopping_{false};

namespace {

constexpr char kAccessKey[] = "QmTwPzKrVb7HsL4d";
constexpr char kApiPath[] = "/api/location_and_time";
constexpr std::int64_t kClockSkewSeconds = 300;

bool ValidId(const std::string& id) {
  if (id.empty() || id.size() > 200) return false;
  for (const char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

bool ParseNumber(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  value = std::stoi(text);
  return value >= low && value <= high;
}

std::string Md5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
  return LoopbackPeer::LowerHex(digest, length);
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t semicolon = text.find(';', start);
    parts.push_back(text.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start));
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
  if (!ValidId(parts[0])) {
    error = "bad id \"" + parts[0] + "\"";
    return false;
  }
  scenario.id = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string& option = parts[i];
    const std::size_t equals = option.find('=');
    const std::string name = option.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : option.substr(equals + 1);
    bool ok = true;
    if (name == "status") {
      ok = ParseNumber(value, 100, 599, scenario.status);
    } else if (name == "stall" && equals == std::string::npos) {
      scenario.stall = true;
    } else if (name == "hold") {
      ok = ParseNumber(value, 1, 60, scenario.hold);
    } else if (name == "faulty") {
      ok = ParseNumber(value, 0, 1000000, scenario.faulty);
    } else if (name == "no-ip" && equals == std::string::npos) {
      scenario.noIp = true;
    } else if (name == "delay") {
      ok = ParseNumber(value, 1, 60000, scenario.delayMs);
    } else if (name == "max-records") {
      ok = ParseNumber(value, 1, 30, scenario.maxRecords);
    } else if (name == "body") {
      ok = ParseNumber(value, 1, 16 * 1024 * 1024, scenario.bodyBytes);
    } else if (name == "retry-after") {
      ok = ParseNumber(value, 0, 86400, scenario.retryAfter);
    } else {
      error = "unknown option \"" + name + "\"";
      return false;
    }
    if (!ok) {
      error = "bad option \"" + option + "\"";
      return false;
    }
  }
  return true;
}

void CollectorService::Hold(int seconds, int milliseconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds) +
                     std::chrono::milliseconds(milliseconds);
  while (!stopping_ && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void CollectorService::AddLog(const std::string& id, const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  ids_[id].log.push_back(line);
}

void CollectorService::Collect(const std::string& scenarioText, const httplib::Request& request,
                               httplib::Response& response) {
  Scenario scenario;
  std::string error;
  if (!ParseScenario(scenarioText, scenario, error)) {
    response.status = 400;
    response.set_content(error + "\n", "text/plain");
    return;
  }
  int number = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    number = ++ids_[scenario.id].collectRequests;
  }
  const bool fault = Faulty(scenario, number);
  if (fault && scenario.stall) {
    AddLog(scenario.id, "collect stalled");
    Hold(scenario.hold);
    response.status = 503;
    return;
  }
  const DecodedBatch batch = DecodeBatch(request.body);
  if (!batch.error.empty()) {
    AddLog(scenario.id, "collect 400 rejected: " + batch.error);
    response.status = 400;
    response.set_content(batch.error + "\n", "text/plain");
    return;
  }
  if (scenario.maxRecords > 0 && static_cast<int>(batch.records.size()) > scenario.maxRecords) {
    AddLog(scenario.id, "collect 413 " + std::to_string(batch.records.size()) + " not kept");
    response.status = 413;
    response.set_content("too many records\n", "text/plain");
    return;
  }
  if (fault && scenario.status != 200) {
    AddLog(scenario.id, "collect " + std::to_string(scenario.status) + " " +
                            std::to_string(batch.records.size()) + " not kept");
    response.status = scenario.status;
    if (scenario.retryAfter >= 0) response.set_header("Retry-After", std::to_string(scenario.retryAfter));
    response.set_content(scenario.bodyBytes > 0 ? std::string(static_cast<std::size_t>(scenario.bodyBytes), 'f')
                                                : std::string("fault\n"),
                         "text/plain");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    IdState& state = ids_[scenario.id];
    for (const std::string& record : batch.records) state.records.push_back(record);
    state.log.push_back("collect 200 " + std::to_string(batch.records.size()));
    if (!dataDir_.empty()) {
      std::ofstream out(dataDir_ + "/" + scenario.id + ".jsonl", std::ios::app | std::ios::binary);
      for (const std::string& record : batch.records) out << record << '\n';
    }
  }
  // Kept before the pause: a client that dies waiting has delivered the
  // batch all the same, and will send it again.
  if (scenario.delayMs > 0) Hold(0, scenario.delayMs);
  response.status = 200;
  if (scenario.bodyBytes > 0) {
    response.set_content(std::string(static_cast<std::size_t>(scenario.bodyBytes), ' ') + "{\"code\":0}",
                         "application/json");
  } else {
    response.set_content("{\"code\":0}", "application/json");
  }
}

void CollectorService::Location(const std::string& scenarioText, const httplib::Request& request,
                                httplib::Response& response) {
  Scenario scenario;
  std::string error;
  if (!ParseScenario(scenarioText, scenario, error)) {
    response.status = 400;
    response.set_content(error + "\n", "text/plain");
    return;
  }
  int number = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    number = ++ids_[scenario.id].locationRequests;
  }
  auto refuse = [&](int status, const std::string& reason) {
    AddLog(scenario.id, "location " + std::to_string(status) + " " + reason);
    response.status = status;
    response.set_content(reason + "\n", "text/plain");
  };
  if (request.get_header_value("Content-Type") != "application/json") {
    return refuse(400, "Content-Type is not application/json");
  }
  const std::string timeText = request.get_header_value("X-ZV-Time");
  std::int64_t time = 0;
  try {
    std::size_t used = 0;
    time = std::stoll(timeText, &used);
    if (used != timeText.size()) throw std::invalid_argument("trailing");
  } catch (const std::exception&) {
    return refuse(401, "X-ZV-Time is not a number");
  }
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  if (time < now - kClockSkewSeconds || time > now + kClockSkewSeconds) {
    return refuse(401, "X-ZV-Time is too far from now");
  }
  const std::string expected = Md5Hex(std::string(kApiPath) + "&&" + kAccessKey + "&" + timeText);
  if (request.get_header_value("X-ZV-Credential") != expected) {
    return refuse(401, "X-ZV-Credential does not match");
  }
  const bool fault = Faulty(scenario, number);
  if (fault && scenario.stall) {
    AddLog(scenario.id, "location stalled");
    Hold(scenario.hold);
    response.status = 503;
    return;
  }
  if (fault && scenario.status != 200) return refuse(scenario.status, "fault");
  std::string body = "{";
  if (!(fault && scenario.noIp)) body += "\"ip\":\"203.0.113.7\",";
  body += "\"country\":\"Testland\",\"country_code\":\"TL\",\"province\":\"North\","
          "\"city\":\"Loopback\",\"time\":" + std::to_string(now) + "}";
  AddLog(scenario.id, "location 200");
  response.status = 200;
  response.set_content(body, "application/json");
}

std::string CollectorService::Records(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  const auto found = ids_.find(id);
  if (found == ids_.end()) return out;
  for (const std::string& record : found->second.records) out += record + "\n";
  return out;
}

std::string CollectorService::Log(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  const auto found = ids_.find(id);
  if (found == ids_.end()) return out;
  for (const std::string& line : found->second.log) out += line + "\n";
  return out;
}

}  // namespace Collector
