#include "analytics/collector_fixture.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/text.h"
#include "test_support.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace TestSupport {

namespace {

bool ParsePorts(const std::string& line, int& http, int& https, int& refused) {
  return std::sscanf(line.c_str(), "http=%d https=%d refused=%d", &http, &https, &refused) == 3 &&
         http > 0 && https > 0 && refused > 0;
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

Collector::Collector() {
#ifdef _WIN32
  const char* ports = std::getenv("TALVORIN_COLLECTOR");
  const char* ca = std::getenv("TALVORIN_COLLECTOR_CA");
  if (ports == nullptr || ca == nullptr) {
    error_ = "TALVORIN_COLLECTOR and TALVORIN_COLLECTOR_CA are not set: "
             "scripts/test-all.sh starts the collector for the Windows tests";
    return;
  }
  if (!ParsePorts(ports, httpPort_, httpsPort_, refusedPort_)) {
    error_ = std::string("TALVORIN_COLLECTOR is not a ports line: ") + ports;
    httpPort_ = httpsPort_ = refusedPort_ = 0;
    return;
  }
  caFile_ = ca;
#else
  const std::wstring folder = ProgramFolder();
  const std::wstring certificates = folder + L"/collector-certs";
  caFile_ = Utils::ToNarrow(certificates, Utils::kCodePageUtf8) + "/ca.pem";
  try {
    child_.Start(L"\"" + folder + L"/talvorin-collector\" --cert-dir \"" + certificates + L"\"");
    childStarted_ = true;
  } catch (const Utils::Exception&) {
    error_ = "talvorin-collector cannot be started from the test program's folder";
    return;
  }
  std::string line;
  char c = 0;
  while (child_.ReadOutput(&c, 1) == 1 && c != '\n') line += c;
  if (!ParsePorts(line, httpPort_, httpsPort_, refusedPort_)) {
    httpPort_ = httpsPort_ = refusedPort_ = 0;
    error_ = "talvorin-collector gave no ports line (exit code " +
             std::to_string(child_.WaitForExit()) + ")";
  }
#endif
}

Collector::~Collector() {
#ifndef _WIN32
  if (!childStarted_) return;
  if (child_.IsRunning()) ::kill(static_cast<pid_t>(child_.ProcessId()), SIGTERM);
  child_.WaitForExit();
  child_.Close();
#endif
}

Collector& Collector::Shared() {
  static Collector collector;
  return collector;
}

std::string Collector::Base(bool https) const {
  return https ? "https://localhost:" + std::to_string(httpsPort_)
               : "http://127.0.0.1:" + std::to_string(httpPort_);
}

std::string Collector::CollectUrl(const std::string& scenario, bool https) const {
  return Base(https) + "/c/" + scenario + "/collect";
}

std::string Collector::LocationUrl(const std::string& scenario, bool https) const {
  return Base(https) + "/l/" + scenario + "/api/location_and_time";
}

std::string Collector::RefusedUrl() const {
  return "http://127.0.0.1:" + std::to_string(refusedPort_) + "/collect";
}

std::string Collector::Fetch(const std::string& path) const {
  std::string body;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return body;
  const std::string url = Base(false) + path;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  if (result != CURLE_OK) return "# cannot fetch " + path + ": " + curl_easy_strerror(result) + "\n";
  return body;
}

std::vector<std::string> Collector::Records(const std::string& id) const {
  return Lines(Fetch("/_records/" + id));
}

std::vector<std::string> Collector::Log(const std::string& id) const {
  return Lines(Fetch("/_log/" + id));
}

}  // namespace TestSupport
