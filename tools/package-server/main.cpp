// talvorin-package-server: the package server the download tests and the
// demo run against, over HTTP and HTTPS on the loopback interface. See
// README.md beside this file.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include <httplib.h>

#include "generated_content.h"
#include "loopback_peer.h"
#include "package_service.h"

namespace {

struct PackageOptions {
  std::string file;
  std::uint64_t size = 2 * 1024 * 1024;
  std::uint64_t seed = 0;
  std::string name;
  std::string serveDir;
};

constexpr const char* kUsage =
    "usage: talvorin-package-server [--http-port N] [--https-port N] [--cert-dir DIR]\n"
    "                               [--file PATH | --size BYTES [--seed N]] [--name NAME]\n"
    "                               [--serve-dir DIR]\n"
    "                               [--stop-at-stdin-eof]\n";

bool TakeOption(const std::string& name, const std::string& value, PackageOptions& options) {
  if (name == "--file") {
    options.file = value;
  } else if (name == "--size") {
    options.size = std::stoull(value);
  } else if (name == "--seed") {
    options.seed = std::stoull(value);
  } else if (name == "--serve-dir") {
    options.serveDir = value;
  } else if (name == "--name") {
    options.name = value;
  } else {
    return false;
  }
  return true;
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

}  // namespace

int main(int argc, char** argv) {
  LoopbackPeer::Options options;
  PackageOptions package;
  const bool usable = LoopbackPeer::ParseOptions(
      argc, argv, options,
      [&package](const std::string& name, const std::string& value) { return TakeOption(name, value, package); });
  if (!usable) {
    std::cerr << kUsage;
    return 2;
  }
  if (package.serveDir.empty()) {
    package.serveDir = std::filesystem::absolute(argv[0]).parent_path().string();
  }

  std::string content;
  std::string name = package.name;
  if (!package.file.empty()) {
    std::ifstream in(package.file, std::ios::binary);
    if (!in) {
      std::cerr << "talvorin-package-server: cannot read " << package.file << "\n";
      return 1;
    }
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (name.empty()) name = std::filesystem::path(package.file).filename().string();
  } else {
    content = PackageContent::Generate(package.seed, static_cast<std::size_t>(package.size));
  }
  if (name.empty()) name = "Talvorin_Setup.exe";

  PackageServer::PackageService service(std::move(content), name, package.serveDir);
  LoopbackPeer::Peer peer;
  peer.program = "talvorin-package-server";
  peer.defaultCertFolder = "package-server-certs";
  peer.configure = [&service](httplib::Server& server) { Configure(server, service); };
  peer.stopHolding = [] { PackageServer::PackageService::StopHolding(); };
  return LoopbackPeer::Serve(peer, options, argv[0]);
}
