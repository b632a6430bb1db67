// Answers every request of the package server: the entry address that
// redirects to the package's final address, the package itself with byte
// ranges and the faults its scenario asks for, and the request logs.
#pragma once

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "scenario.h"

namespace PackageServer {

class PackageService {
 public:
  // `package` is served to requests whose scenario generates nothing and
  // names no file; "file=<name>" serves <serveDir>/<name>.
  PackageService(std::string package, std::string name, std::string serveDir);

  void Handle(const httplib::Request& request, httplib::Response& response);

  // Ends every stall at once; the process is about to exit.
  static void StopHolding();

 private:
  struct IdState {
    std::uint64_t heads = 0;  // HEAD requests at the final address so far
    std::uint64_t gets = 0;
    std::atomic<std::uint64_t> bodyBytes{0};  // package bytes sent by GETs at the final address
    std::vector<std::string> log;
    std::uint64_t dropped = 0;  // log lines beyond the cap
  };

  void Log(const std::string& id, const httplib::Request& request);
  std::uint64_t Count(const std::string& id, bool head);
  std::uint64_t Gets(const std::string& id);
  std::atomic<std::uint64_t>* BodyBytes(const std::string& id);
  std::string LogText(const std::string& id);
  static std::string PacText(const std::string& proxy);
  std::string Md5(const Scenario& scenario);
  // A file of the serving folder with its digest, read again when it
  // changed; null when it cannot be read.
  struct ServedFile {
    std::shared_ptr<const std::string> bytes;
    std::string md5;
  };
  ServedFile LoadFile(const std::string& name);
  void Redirect(const Scenario& scenario, const std::string& rest, httplib::Response& response);
  void ServePackage(const httplib::Request& request, const Scenario& scenario,
                    httplib::Response& response);

  const std::string package_;
  const std::string packageMd5_;
  const std::string name_;
  const std::string serveDir_;

  std::mutex mutex_;
  std::map<std::string, IdState> states_;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> md5Cache_;  // (seed, size)
  struct CachedFile {
    ServedFile file;
    std::int64_t modified = 0;
    std::uint64_t size = 0;
  };
  std::map<std::string, CachedFile> files_;
};

}  // namespace PackageServer
