// What the loopback peers (the package server and the collector) share: the
// common switches of their command lines, the test certificate authority,
// HTTP and HTTPS bound on 127.0.0.1, the ports line on standard output, and
// the rules for stopping.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace httplib {
class Server;
}

namespace LoopbackPeer {

struct Options {
  int httpPort = 0;  // 0: any free port
  int httpsPort = 0;
  std::string certDir;  // empty: the peer's default folder beside the program
  bool stopAtStdinEof = false;
};

// One switch of a peer's own and its value: false for a switch it does not
// know; may throw std::exception for a value it cannot take.
using ExtraOption = std::function<bool(const std::string& name, const std::string& value)>;

// Reads "--http-port N", "--https-port N", "--cert-dir DIR" and
// "--stop-at-stdin-eof", and hands any other "--name value" to `extra`.
// False when the command line is not usable.
bool ParseOptions(int argc, char** argv, Options& options, const ExtraOption& extra);

struct Peer {
  std::string program;            // names the peer in its messages
  std::string defaultCertFolder;  // beside the program
  // Routes, workers and time-outs, the same for both servers.
  std::function<void(httplib::Server&)> configure;
  // More of the ports line after "http=N https=N" (" refused=N"); nullopt
  // when it cannot be had. May be empty.
  std::function<std::optional<std::string>()> morePorts;
  // Ends the answers the peer holds open, before the servers stop.
  std::function<void()> stopHolding;
};

// Serves until a termination signal, the end of standard input (when
// asked) or the going away of the reader of standard output; then the
// process leaves at once. Returns (an exit code) only when it cannot start.
int Serve(const Peer& peer, Options options, const char* argv0);

}  // namespace LoopbackPeer
