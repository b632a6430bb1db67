#include "proxy_fixture.h"

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "support/text.h"

#ifdef _WIN32
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/child_process.h"
#endif

namespace TestSupport {

#ifdef _WIN32
struct TinyProxy::Child {};

TinyProxy::TinyProxy(Kind kind) {
  const char* ports = std::getenv("TALVORIN_PROXIES");
  const char* logs = std::getenv("TALVORIN_PROXY_LOGS");
  if (!ports || !logs) {
    error_ = "TALVORIN_PROXIES and TALVORIN_PROXY_LOGS are not set: scripts/test-all.sh starts the proxies "
             "for the Windows tests";
    return;
  }
  const std::string name = kind == Kind::Open ? "open" : "basic";
  std::istringstream in(ports);
  for (std::string field; in >> field;) {
    if (field.rfind(name + "=", 0) == 0) port_ = std::atoi(field.c_str() + name.size() + 1);
  }
  if (port_ <= 0) error_ = std::string("TALVORIN_PROXIES names no ") + name + " proxy: " + ports;
  logFile_ = Utils::ToWide(logs, Utils::kCodePageUtf8) + L"\\" + Utils::ToWide(name, Utils::kCodePageUtf8) + L".log";
}

TinyProxy::~TinyProxy() = default;
#else
struct TinyProxy::Child {
  Utils::ChildProcess process;
};

namespace {

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

}  // namespace

TinyProxy::TinyProxy(Kind kind) : folder_(std::make_unique<TempDir>()) {
  // Another program may take the port between our probe and tinyproxy's
  // bind: try a few.
  for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
    const int port = FreeLoopbackPort();
    logFile_ = folder_->File(L"tinyproxy.log");
    std::ostringstream config;
    config << "Port " << port << "\nListen 127.0.0.1\nTimeout 600\nMaxClients 100\n"
           << "LogFile \"" << Utils::ToNarrow(logFile_, Utils::kCodePageUtf8) << "\"\nLogLevel Connect\n"
           << "Allow 127.0.0.1\nDisableViaHeader Yes\n";
    if (kind == Kind::Basic) config << "BasicAuth " << kProxyUser << " " << kProxyPassword << "\n";
    const std::wstring configFile = folder_->File(L"tinyproxy.conf");
    WriteFileBytes(configFile, config.str());
    auto child = std::make_unique<Child>();
    try {
      child->process.Start(L"/usr/bin/tinyproxy -d -c \"" + configFile + L"\"");
    } catch (const Utils::Exception&) {
      error_ = "tinyproxy cannot be started (Debian package tinyproxy)";
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline && child->process.IsRunning() && !Accepts(port))
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (child->process.IsRunning() && Accepts(port)) {
      port_ = port;
      child_ = std::move(child);
      return;
    }
    if (child->process.IsRunning()) ::kill(static_cast<pid_t>(child->process.ProcessId()), SIGTERM);
    child->process.WaitForExit();
  }
  error_ = "tinyproxy did not start listening";
}

TinyProxy::~TinyProxy() {
  if (!child_) return;
  if (child_->process.IsRunning()) ::kill(static_cast<pid_t>(child_->process.ProcessId()), SIGTERM);
  child_->process.WaitForExit();
  child_->process.Close();
}
#endif

std::string TinyProxy::Address(bool withCredentials) const {
  std::string credentials;
  if (withCredentials) credentials = std::string(kProxyUser) + ":" + kProxyPassword + "@";
  return "http://" + credentials + "127.0.0.1:" + std::to_string(port_);
}

std::string TinyProxy::Log() const { return ReadFileBytes(logFile_); }

bool TinyProxy::Forwarded(const std::string& method, const std::string& addressPart) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    std::istringstream lines(Log());
    for (std::string line; std::getline(lines, line);) {
      const auto request = line.find("Request (file descriptor");
      if (request == std::string::npos) continue;
      const auto verb = line.find("): " + method + " ", request);
      if (verb != std::string::npos && line.find(addressPart, verb) != std::string::npos) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace TestSupport
