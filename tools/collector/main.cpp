// talvorin-collector: the analytics collection server the tests and the demo
// post to, over HTTP and HTTPS on the loopback interface. See README.md.
#include <netinet/in.h>
#include <sys/socket.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include <httplib.h>

#include "collector_service.h"
#include "loopback_peer.h"

namespace {

constexpr const char* kUsage =
    "usage: talvorin-collector [--http-port N] [--https-port N] [--cert-dir DIR]\n"
    "                          [--data-dir DIR] [--stop-at-stdin-eof]\n";

void Configure(httplib::Server& server, Collector::CollectorService& service) {
  // Stalled answers hold a worker each until their client leaves.
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.set_read_timeout(30);
  server.set_write_timeout(30);
  server.Post(R"(/c/([^/]+)/collect)", [&service](const httplib::Request& q, httplib::Response& r) {
    service.Collect(q.matches[1], q, r);
  });
  server.Post("/collect", [&service](const httplib::Request& q, httplib::Response& r) {
    service.Collect("default", q, r);
  });
  server.Post(R"(/l/([^/]+)/api/location_and_time)",
              [&service](const httplib::Request& q, httplib::Response& r) {
                service.Location(q.matches[1], q, r);
              });
  server.Post("/api/location_and_time", [&service](const httplib::Request& q, httplib::Response& r) {
    service.Location("default", q, r);
  });
  server.Get(R"(/_records/([^/]+))", [&service](const httplib::Request& q, httplib::Response& r) {
    r.set_content(service.Records(q.matches[1]), "application/x-ndjson");
  });
  server.Get(R"(/_log/([^/]+))", [&service](const httplib::Request& q, httplib::Response& r) {
    r.set_content(service.Log(q.matches[1]), "text/plain");
  });
}

// A loopback port that is bound but never listens: every connection to it is
// refused, and while the collector lives nobody else takes the port.
int ReserveRefusingPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  return ntohs(address.sin_port);  // fd stays open for the process's life
}

}  // namespace

int main(int argc, char** argv) {
  LoopbackPeer::Options options;
  std::string dataDir;
  const bool usable =
      LoopbackPeer::ParseOptions(argc, argv, options, [&dataDir](const std::string& name, const std::string& value) {
        if (name != "--data-dir") return false;
        dataDir = value;
        return true;
      });
  if (!usable) {
    std::cerr << kUsage;
    return 2;
  }
  if (!dataDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(dataDir, error);
  }

  Collector::CollectorService service(dataDir);
  LoopbackPeer::Peer peer;
  peer.program = "talvorin-collector";
  peer.defaultCertFolder = "collector-certs";
  peer.configure = [&service](httplib::Server& server) { Configure(server, service); };
  peer.morePorts = []() -> std::optional<std::string> {
    const int refused = ReserveRefusingPort();
    if (refused <= 0) return std::nullopt;
    return " refused=" + std::to_string(refused);
  };
  peer.stopHolding = [] { Collector::CollectorService::StopHolding(); };
  return LoopbackPeer::Serve(peer, options, argv[0]);
}
