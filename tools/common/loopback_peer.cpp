#include "loopback_peer.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include <httplib.h>

#include "certificates.h"

namespace LoopbackPeer {

namespace {

int Bind(httplib::Server& server, int port) {
  if (port == 0) return server.bind_to_any_port("127.0.0.1");
  return server.bind_to_port("127.0.0.1", port) ? port : -1;
}

bool IsPipeOrSocket(int fd) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

// Blocks until the peer must stop: a termination signal, the end of
// standard input (when asked), or the reader of standard output going away.
// The last one means that a parent reading the ports line never leaves the
// peer behind, whatever way it ends.
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

bool ParseOptions(int argc, char** argv, Options& options, const ExtraOption& extra) {
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
      } else if (!extra || !extra(arg, value)) {
        return false;
      }
    } catch (const std::exception&) {
      return false;
    }
  }
  return options.httpPort >= 0 && options.httpPort < 65536 && options.httpsPort >= 0 &&
         options.httpsPort < 65536;
}

int Serve(const Peer& peer, Options options, const char* argv0) {
  if (options.certDir.empty()) {
    options.certDir = (std::filesystem::absolute(argv0).parent_path() / peer.defaultCertFolder).string();
  }
  CertificateFiles certificates;
  std::string error;
  if (!EnsureCertificates(options.certDir, certificates, error)) {
    std::cerr << peer.program << ": " << error << "\n";
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

  httplib::Server http;
  httplib::SSLServer https(certificates.serverCertificate.c_str(), certificates.serverKey.c_str());
  if (!https.is_valid()) {
    std::cerr << peer.program << ": the certificates in " << options.certDir << " are not usable\n";
    return 1;
  }
  peer.configure(http);
  peer.configure(https);
  const int httpPort = Bind(http, options.httpPort);
  const int httpsPort = Bind(https, options.httpsPort);
  const std::optional<std::string> morePorts = peer.morePorts ? peer.morePorts() : std::string();
  if (httpPort <= 0 || httpsPort <= 0 || !morePorts || signals < 0) {
    std::cerr << peer.program << ": cannot listen on the requested ports\n";
    return 1;
  }
  // The sockets listen from here on: a client connecting before the threads
  // below accept waits in the backlog, so the line may go out now.
  std::printf("http=%d https=%d%s\n", httpPort, httpsPort, morePorts->c_str());
  std::fflush(stdout);

  std::thread httpThread([&http] { http.listen_after_bind(); });
  std::thread httpsThread([&https] { https.listen_after_bind(); });
  WaitForStop(options.stopAtStdinEof, signals);

  if (peer.stopHolding) peer.stopHolding();
  http.stop();
  https.stop();
  // Workers may still sit in a read of an idle keep-alive connection for the
  // library's time-out; nothing is left to save, so the process leaves now.
  std::_Exit(0);
}

}  // namespace LoopbackPeer
