#include "analytics/collector_fixture.h"

#include <json/json.h>

#include <memory>
#include <sstream>

namespace TestSupport {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

Collector::Collector()
    : peer_({"talvorin-collector", "collector-certs", "TALVORIN_COLLECTOR", "TALVORIN_COLLECTOR_CA"},
            {"http", "https", "refused"}) {}

Collector::~Collector() = default;

Collector& Collector::Shared() {
  static Collector collector;
  return collector;
}

std::string Collector::Base(bool https) const {
  return https ? "https://localhost:" + std::to_string(peer_.Port("https"))
               : "http://127.0.0.1:" + std::to_string(peer_.Port("http"));
}

std::string Collector::CollectUrl(const std::string& scenario, bool https) const {
  return Base(https) + "/c/" + scenario + "/collect";
}

std::string Collector::LocationUrl(const std::string& scenario, bool https) const {
  return Base(https) + "/l/" + scenario + "/api/location_and_time";
}

std::string Collector::RefusedUrl() const {
  return "http://127.0.0.1:" + std::to_string(peer_.Port("refused")) + "/collect";
}

std::string Collector::Fetch(const std::string& path) const {
  std::string error;
  const std::optional<std::string> body = HttpGet(Base(false) + path, error);
  if (!body) return "# cannot fetch " + path + ": " + error + "\n";
  return *body;
}

std::vector<std::string> Collector::Records(const std::string& id) const {
  return Lines(Fetch("/_records/" + id));
}

std::vector<std::string> Collector::EventNames(const std::string& id) const {
  std::vector<std::string> names;
  const Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  for (const std::string& text : Records(id)) {
    Json::Value record;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &record, &errors)) continue;
    const Json::Value& properties = record["properties"];
    for (const char* key : {"zv_task_name", "zv_name"}) {
      if (properties.isMember(key)) names.push_back(properties[key].asString());
    }
  }
  return names;
}

std::vector<std::string> Collector::Log(const std::string& id) const {
  return Lines(Fetch("/_log/" + id));
}

}  // namespace TestSupport
