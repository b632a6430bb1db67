// What the tests' loopback peers (the package server, the collector) share:
// on Linux the peer runs as a child process of the test program, started
// from the program's folder, read for its ports line and stopped at the end;
// on Windows (under Wine, which cannot hand a native child our pipes) the one
// scripts/test-all.sh starts, named by two environment variables.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace TestSupport {

struct LoopbackPeerNames {
  const char* program;        // Linux: the executable beside the test program
  const char* certFolder;     // Linux: its certificate folder beside the test program
  const char* portsVariable;  // Windows: the ports line of the running peer
  const char* caVariable;     // Windows: its CA file as a Windows path
};

class LoopbackPeer {
 public:
  // Starts (Linux) or finds (Windows) the peer; its ports line must name
  // every port of `ports` ("http", "https", ...).
  LoopbackPeer(const LoopbackPeerNames& names, std::vector<std::string> ports);
  // Stops a peer it started.
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  // False when the peer could not be reached; Error() then says why.
  bool Started() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  const std::string& CaFile() const { return caFile_; }
  // A port of the ports line; 0 when not started.
  int Port(const std::string& name) const;

 private:
  bool TakePorts(const std::string& line);

  std::vector<std::string> names_;
  std::vector<int> ports_;
  std::string caFile_;
  std::string error_;
#ifndef _WIN32
  Utils::ChildProcess child_;
  bool childStarted_ = false;
#endif
};

// The body of a GET of `url`; nullopt with `error` set when it failed.
std::optional<std::string> HttpGet(const std::string& url, std::string& error);

}  // namespace TestSupport
