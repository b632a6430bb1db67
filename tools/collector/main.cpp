// talvorin-collector: the analytics collection server the tests and the demo
// post to, over HTTP and HTTPS on the loopback interface. See README.md.
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include <httplib.h>

#include "certificates.h"
#include "collector_service.h"

namespace {

struct Options {
  int httpPort = 0;
  int httpsPort = 0;
  std::string certDir;
  std::string dataDir;
  bool stopAtStdinEof = false;
};

constexpr const char* kUsage =
    "usage: talvorin-collector [--http-port N] [--https-port N] [--cert-dir DIR]\n"
    "                          [--data-dir DIR] [--stop-at-stdin-eof]\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--stop-at-stdin-eof") {
      options.stopAtStdinEof = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    try {
      if (arg == "--http-port") {
        options.httpPort = std::stoi(value);
      } else if (arg == "--https-port") {
        options.httpsPort = std::stoi(value);
      } else if (arg == "--cert-dir") {
        options.certDir = value;
      } else if (arg == "--data-dir") {
        options.dataDir = value;
      } else {
        return false;
      }
    } catch (const std::exception&) {
      return false;
    }
  }
  return options.httpPort >= 0 && options.httpPort < 65536 && options.httpsPort >= 0 &&
         options.httpsPort < 65536;
}

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

int Bind(httplib::Server& server, int port) {
  if (port == 0) return server.bind_to_any_port("127.0.0.1");
  return server.bind_to_port("127.0.0.1", port) ? port : -1;
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

bool IsPipeOrSocket(int fd) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

void WaitForStop(bool watchStdin, int signals) {
  const bool watchStdout = IsPipeOrSocket(STDOUT_FILENO);
  for (;;) {
    pollfd watched[3] = {{signals, POLLIN, 0},
                         {watchStdin ? STDIN_FILENO : -1, POLLIN, 0},
                         {watchStdout ? STDOUT_FILENO : -1, 0, 0}};
    if (::poll(watched, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[0].revents != 0) return;
    if (watched[1].revents != 0) {
      char buffer[256];
      if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) return;
    }
    if (watched[2].revents & (POLLERR | POLLHUP)) return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }
  if (options.certDir.empty()) {
    options.certDir = (std::filesystem::absolute(argv[0]).parent_path() / "collector-certs").string();
  }
  if (!options.dataDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.dataDir, error);
  }
  PackageServer::CertificateFiles certificates;
  std::string error;
  if (!PackageServer::EnsureCertificates(options.certDir, certificates, error)) {
    std::cerr << "talvorin-collector: " << error << "\n";
    return 1;
  }

  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &mask, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int signals = signalfd(-1, &mask, SFD_CLOEXEC);

  Collector::CollectorService service(options.dataDir);
  httplib::Server http;
  httplib::SSLServer https(certificates.serverCertificate.c_str(), certificates.serverKey.c_str());
  if (!https.is_valid()) {
    std::cerr << "talvorin-collector: the certificates in " << options.certDir << " are not usable\n";
    return 1;
  }
  Configure(http, service);
  Configure(https, service);
  const int httpPort = Bind(http, options.httpPort);
  const int httpsPort = Bind(https, options.httpsPort);
  const int refusedPort = ReserveRefusingPort();
  if (httpPort <= 0 || httpsPort <= 0 || refusedPort <= 0 || signals < 0) {
    std::cerr << "talvorin-collector: cannot listen on the requested ports\n";
    return 1;
  }
  std::printf("http=%d https=%d refused=%d\n", httpPort, httpsPort, refusedPort);
  std::fflush(stdout);

  std::thread httpThread([&http] { http.listen_after_bind(); });
  std::thread httpsThread([&https] { https.listen_after_bind(); });
  WaitForStop(options.stopAtStdinEof, signals);

  Collector::CollectorService::StopHolding();
  http.stop();
  https.stop();
  std::_Exit(0);
}
