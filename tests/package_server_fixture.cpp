#include "package_server_fixture.h"

#include <atomic>
#include <random>
#include <cstdlib>
#include <sstream>

#include "package-server/generated_content.h"
#include "support/process_info.h"

namespace TestSupport {

PackageServer::PackageServer()
    : peer_({"talvorin-package-server", "package-server-certs", "TALVORIN_PACKAGE_SERVER",
             "TALVORIN_PACKAGE_SERVER_CA"},
            {"http", "https"}) {}

PackageServer::~PackageServer() = default;

PackageServer& PackageServer::Shared() {
  static PackageServer server;
  return server;
}

std::string PackageServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(peer_.Port("http"));
}

std::string PackageServer::HttpsBaseUrl() const {
  return "https://localhost:" + std::to_string(peer_.Port("https"));
}

std::string PackageServer::EntryUrl(const std::string& scenario, bool https) const {
  return (https ? HttpsBaseUrl() : BaseUrl()) + "/s/" + scenario + "/software/456";
}

std::vector<std::string> PackageServer::RequestLog(const std::string& id) const {
  std::string error;
  const std::optional<std::string> body = HttpGet(BaseUrl() + "/_log/" + id, error);
  if (!body) return {"the request log cannot be fetched: " + error};
  std::vector<std::string> lines;
  std::istringstream in(*body);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::uint64_t PackageServer::BodyBytesSent(const std::string& id) const {
  std::string error;
  const std::optional<std::string> body = HttpGet(BaseUrl() + "/_bytes/" + id, error);
  return body ? std::strtoull(body->c_str(), nullptr, 10) : 0;
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
