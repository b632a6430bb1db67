#include "fuzz/raw_http_peer.h"

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
using SocketLength = int;
constexpr SocketHandle kNoSocket = INVALID_SOCKET;
inline void CloseSocket(SocketHandle s) { closesocket(s); }
constexpr int kSendFlags = 0;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
using SocketHandle = int;
using SocketLength = socklen_t;
constexpr SocketHandle kNoSocket = -1;
inline void CloseSocket(SocketHandle s) { ::close(s); }
// A client that hangs up early must not end the process.
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

namespace Fuzz {

namespace {

SocketHandle AsSocket(std::intptr_t value) { return static_cast<SocketHandle>(value); }

// Reads the request up to its blank line (requests here carry no body).
void ReadRequest(SocketHandle connection) {
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    const auto got = ::recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

RawHttpPeer::RawHttpPeer() {
#ifdef _WIN32
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
  const SocketHandle listener = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener == kNoSocket) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  SocketLength length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseSocket(listener);
    return;
  }
  listener_ = static_cast<std::intptr_t>(listener);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

RawHttpPeer::~RawHttpPeer() {
  if (port_ == 0) return;
  stopping_ = true;
  // A connection of our own wakes the accepting thread.
  const SocketHandle waker = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port_));
  ::connect(waker, reinterpret_cast<sockaddr*>(&address), sizeof address);
  thread_.join();
  CloseSocket(waker);
  CloseSocket(AsSocket(listener_));
}

void RawHttpPeer::SetAnswer(std::string bytes) {
  std::lock_guard<std::mutex> lock(answerMutex_);
  answer_ = std::move(bytes);
}

void RawHttpPeer::Serve() {
  while (!stopping_) {
    const SocketHandle connection = ::accept(AsSocket(listener_), nullptr, nullptr);
    if (connection == kNoSocket) continue;
    if (stopping_) {
      CloseSocket(connection);
      break;
    }
#ifdef _WIN32
    DWORD timeout = 5000;
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
#else
    timeval timeout{5, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
#endif
    ReadRequest(connection);
    std::string answer;
    {
      std::lock_guard<std::mutex> lock(answerMutex_);
      answer = answer_;
    }
    for (std::size_t sent = 0; sent < answer.size();) {
      const auto put = ::send(connection, answer.data() + sent, static_cast<int>(answer.size() - sent), kSendFlags);
      if (put <= 0) break;
      sent += static_cast<std::size_t>(put);
    }
#ifdef _WIN32
    ::shutdown(connection, SD_SEND);
#else
    ::shutdown(connection, SHUT_WR);
#endif
    CloseSocket(connection);
  }
}

}  // namespace Fuzz
