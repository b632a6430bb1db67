// The package server as the tests meet it: a real talvorin-package-server on
// loopback, over HTTP and HTTPS. tools/package-server/README.md describes the
// addresses and the scenario grammar that chooses faults per request.
//
// Linux: each PackageServer starts its own server as a child process and
// stops it when destroyed. Windows (tests under Wine): Wine starts a native
// Linux program but hands it neither the parent's pipes nor a process handle,
// so a test can neither read the server's ports nor stop it. The tests then
// use the one server scripts/test-all.sh starts for the whole run, named by
// TALVORIN_PACKAGE_SERVER (its ports line, "http=PORT https=PORT") and
// TALVORIN_PACKAGE_SERVER_CA (its CA file as a Windows path). Scenario ids
// from NewId keep the tests apart on that shared server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "loopback_peer_fixture.h"

namespace TestSupport {

class PackageServer {
 public:
  PackageServer();
  ~PackageServer();
  PackageServer(const PackageServer&) = delete;
  PackageServer& operator=(const PackageServer&) = delete;

  // One server for the whole test program, started on first use.
  static PackageServer& Shared();

  // False when no server could be reached; Error() then says why.
  bool Started() const { return peer_.Started(); }
  const std::string& Error() const { return peer_.Error(); }

  std::string BaseUrl() const;       // "http://127.0.0.1:PORT"
  std::string HttpsBaseUrl() const;  // "https://localhost:PORT" (the certificate's name)
  const std::string& CaFile() const { return peer_.CaFile(); }

  // The entry address of a scenario ("<id>;<option>;..."), which redirects
  // to the package's final address.
  std::string EntryUrl(const std::string& scenario, bool https = false) const;

  // The requests the server saw for a scenario id, oldest first, one
  // "METHOD target range" line each (range "-" when none was asked).
  std::vector<std::string> RequestLog(const std::string& id) const;

  // The package bytes the server sent for a scenario id in answers to GET
  // at the final address (ranges and cut answers count what was sent).
  std::uint64_t BodyBytesSent(const std::string& id) const;

  // A scenario id that no other test, test program or earlier run has used
  // on this server: per-id counters and logs then start from nothing.
  static std::string NewId(const std::string& label);

  // The bytes the server generates for "size=<size>;seed=<seed>".
  static std::string GeneratedPackage(std::uint64_t seed, std::size_t size);

 private:
  LoopbackPeer peer_;
};

}  // namespace TestSupport
