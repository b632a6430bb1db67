// talvorin-package-server: the package server the download tests and the
// demo run against, over HTTP and HTTPS on the loopback interface. See
// README.md beside this file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>

#include <httplib.h>

#include "certificates.h"
#include "generated_content.h"
#include "package_service.h"

namespace {

struct Options {
  int httpPort = 0;
  int httpsPort = 0;
  std::string certDir;
  std::string file;
  std::uint64_t size = 2 * 1024 * 1024;
  std::uint64_t seed = 0;
  std::string name;
  std::string serveDir;
  bool stopAtStdinEof = false;
};

constexpr const char* kUsage =
    "usage: talvorin-package-server [--http-port N] [--https-port N] [--cert-dir DIR]\n"
    "                               [--file PATH | --size BYTES [--seed N]] [--name NAME]\n"
    "                               [--serve-dir DIR]\n"
    "                               [--stop-at-stdin-eof]\n";

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
      } else if (arg == "--file") {
        options.file = value;
      } else if (arg == "--size") {
        options.size = std::stoull(value);
      } else if (arg == "--seed") {
        options.seed = std::stoull(value);
      } else if (arg == "--serve-dir") {
        options.serveDir = value;
      } else if (arg == "--name") {
        options.name = value;
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

void Configure(httplib::Server& server, PackageServer::PackageService& service) {
  // Stalled answers occupy a worker each until their client leaves; the
  // library's default of a few workers would let a handful of stalls starve
  // every other test sharing the server.
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.set_keep_alive_max_count(1000);
  server.set_read_timeout(30);
  server.set_write_timeout(60);
  server.Get(".*", [&service](const httplib::Request& request, httplib::Response& response) {
    service.Handle(request, response);
  });
}

int Bind(httplib::Server& server, int port) {
  if (port == 0) return server.bind_to_any_port("127.0.0.1");
  return server.bind_to_port("127.0.0.1", port) ? port : -1;
}

bool IsPipeOrSocket(int fd) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

// Blocks until the server must stop: a termination signal, the end of
// standard input (when asked), or the reader of standard output going away.
// The last one means that a parent reading the ports line never leaves the
// server behind, whatever way it ends.
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
  if (options.serveDir.empty()) {
    options.serveDir = std::filesystem::absolute(argv[0]).parent_path().string();
  }
  if (options.certDir.empty()) {
    options.certDir =
        (std::filesystem::absolute(argv[0]).parent_path() / "package-server-certs").string();
  }

  std::string package;
  std::string name = options.name;
  if (!options.file.empty()) {
    std::ifstream in(options.file, std::ios::binary);
    if (!in) {
      std::cerr << "talvorin-package-server: cannot read " << options.file << "\n";
      return 1;
    }
    package.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (name.empty()) name = std::filesystem::path(options.file).filename().string();
  } else {
    package = PackageContent::Generate(options.seed, static_cast<std::size_t>(options.size));
  }
  if (name.empty()) name = "Talvorin_Setup.exe";

  PackageServer::CertificateFiles certificates;
  std::string error;
  if (!PackageServer::EnsureCertificates(options.certDir, certificates, error)) {
    std::cerr << "talvorin-package-server: " << error << "\n";
    return 1;
  }

  // Signals are taken through a descriptor, and blocked before any thread
  // starts so that every thread inherits the mask. A client that hangs up
  // in the middle of a TLS write must not end the process.
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &mask, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int signals = signalfd(-1, &mask, SFD_CLOEXEC);

  PackageServer::PackageService service(std::move(package), name, options.serveDir);
  httplib::Server http;
  httplib::SSLServer https(certificates.serverCertificate.c_str(),
                           certificates.serverKey.c_str());
  if (!https.is_valid()) {
    std::cerr << "talvorin-package-server: the certificates in " << options.certDir
              << " are not usable\n";
    return 1;
  }
  Configure(http, service);
  Configure(https, service);
  const int httpPort = Bind(http, options.httpPort);
  const int httpsPort = Bind(https, options.httpsPort);
  if (httpPort <= 0 || httpsPort <= 0 || signals < 0) {
    std::cerr << "talvorin-package-server: cannot listen on the requested ports\n";
    return 1;
  }
  // The sockets listen from here on: a client connecting before the threads
  // below accept waits in the backlog, so the line may go out now.
  std::printf("http=%d https=%d\n", httpPort, httpsPort);
  std::fflush(stdout);

  std::thread httpThread([&http] { http.listen_after_bind(); });
  std::thread httpsThread([&https] { https.listen_after_bind(); });
  WaitForStop(options.stopAtStdinEof, signals);

  PackageServer::PackageService::StopHolding();
  http.stop();
  https.stop();
  // Workers may still sit in a read of an idle keep-alive connection for the
  // library's time-out; nothing is left to save, so the process leaves now.
  std::_Exit(0);
}
