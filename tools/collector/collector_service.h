// The collector's answers: batches to "/c/<scenario>/collect", the location
// service at "/l/<scenario>/api/location_and_time", and what an id received at
// "/_records/<id>" and "/_log/<id>". README.md describes the scenario grammar.
#pragma once

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace Collector {

struct Scenario {
  std::string id = "default";
  int status = 200;      // answered instead of 200
  bool stall = false;    // no answer until the client leaves or `hold` passes
  int hold = 10;         // seconds
  int faulty = -1;       // the fault hits only the first K requests (-1: all)
  bool noIp = false;     // location reply without "ip"
  int delayMs = 0;       // keep the batch, then answer 200 this much later
  int maxRecords = 0;    // answer 413 to a batch of more records (0: any size)
  int retryAfter = -1;   // seconds in a Retry-After header of a fault answer (-1: none)
  int bodyBytes = 0;     // a batch answer's body is this many bytes of filler
};

// Parses "<id>[;option[=value]]..."; false with the reason in `error`.
bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error);

class CollectorService {
 public:
  explicit CollectorService(std::string dataDir) : dataDir_(std::move(dataDir)) {}

  void Collect(const std::string& scenarioText, const httplib::Request& request,
               httplib::Response& response);
  void Location(const std::string& scenarioText, const httplib::Request& request,
                httplib::Response& response);
  std::string Records(const std::string& id);
  std::string Log(const std::string& id);

  static void StopHolding() { stopping_ = true; }

 private:
  struct IdState {
    int collectRequests = 0;
    int locationRequests = 0;
    std::vector<std::string> records;
    std::vector<std::string> log;
  };
  // True when this request of the id gets the scenario's fault.
  bool Faulty(const Scenario& scenario, int requestNumber) const {
    return scenario.faulty < 0 || requestNumber <= scenario.faulty;
  }
  void Hold(int seconds, int milliseconds = 0);
  void AddLog(const std::string& id, const std::string& line);

  std::string dataDir_;
  std::mutex mutex_;
  std::map<std::string, IdState> ids_;
  static std::atomic<bool> stopping_;
};

}  // namespace Collector
