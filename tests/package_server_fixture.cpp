#include "package_server_fixture.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "package-server/generated_content.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace TestSupport {

namespace {

// "http=PORT https=PORT"
bool ParsePorts(const std::string& line, int& http, int& https) {
  return std::sscanf(line.c_str(), "http=%d https=%d", &http, &https) == 2 && http > 0 &&
         https > 0;
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

}  // namespace

PackageServer::PackageServer() {
#ifdef _WIN32
  const char* ports = std::getenv("TALVORIN_PACKAGE_SERVER");
  const char* ca = std::getenv("TALVORIN_PACKAGE_SERVER_CA");
  if (ports == nullptr || ca == nullptr) {
    error_ = "TALVORIN_PACKAGE_SERVER and TALVORIN_PACKAGE_SERVER_CA are not set: "
             "scripts/test-all.sh starts the package server for the Windows tests";
    return;
  }
  if (!ParsePorts(ports, httpPort_, httpsPort_)) {
    error_ = std::string("TALVORIN_PACKAGE_SERVER is not a ports line: ") + ports;
    httpPort_ = httpsPort_ = 0;
    return;
  }
  caFile_ = ca;
#else
  const std::wstring folder = ProgramFolder();
  const std::wstring certificates = folder + L"/package-server-certs";
  caFile_ = Utils::ToNarrow(certificates, Utils::kCodePageUtf8) + "/ca.pem";
  try {
    child_.Start(L"\"" + folder + L"/talvorin-package-server\" --cert-dir \"" + certificates +
                 L"\"");
    childStarted_ = true;
  } catch (const Utils::Exception&) {
    error_ = "talvorin-package-server cannot be started from the test program's folder";
    return;
  }
  std::string line;
  char c = 0;
  while (child_.ReadOutput(&c, 1) == 1 && c != '\n') line += c;
  if (!ParsePorts(line, httpPort_, httpsPort_)) {
    httpPort_ = httpsPort_ = 0;
    error_ = "talvorin-package-server gave no ports line (exit code " +
             std::to_string(child_.WaitForExit()) + ")";
  }
#endif
}

PackageServer::~PackageServer() {
#ifndef _WIN32
  if (!childStarted_) return;
  if (child_.IsRunning()) ::kill(static_cast<pid_t>(child_.ProcessId()), SIGTERM);
  child_.WaitForExit();
  child_.Close();
#endif
}

PackageServer& PackageServer::Shared() {
  static PackageServer server;
  return server;
}

std::string PackageServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(httpPort_);
}

std::string PackageServer::HttpsBaseUrl() const {
  return "https://localhost:" + std::to_string(httpsPort_);
}

std::string PackageServer::EntryUrl(const std::string& scenario, bool https) const {
  return (https ? HttpsBaseUrl() : BaseUrl()) + "/s/" + scenario + "/software/456";
}

std::vector<std::string> PackageServer::RequestLog(const std::string& id) const {
  std::string body;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return {};
  const std::string url = BaseUrl() + "/_log/" + id;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  if (result != CURLE_OK) return {"the request log cannot be fetched: " + std::string(curl_easy_strerror(result))};
  std::vector<std::string> lines;
  std::istringstream in(body);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string PackageServer::NewId(const std::string& label) {
  static std::atomic<unsigned> counter{0};
  static const unsigned salt = std::random_device{}();
  return label + "-" + std::to_string(Utils::CurrentProcessId()) + "-" +
         std::to_string(salt) + "-" + std::to_string(++counter);
}

std::string PackageServer::GeneratedPackage(std::uint64_t seed, std::size_t size) {
  return PackageContent::Generate(seed, size);
}

}  // namespace TestSupport
