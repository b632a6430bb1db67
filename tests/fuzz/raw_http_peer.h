// A loopback peer that answers every connection with the same bytes, taken
// as they are: the HTTP client meets answers no well-behaved server library
// would write (broken status lines, lengths, ranges, redirects).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace Fuzz {

class RawHttpPeer {
 public:
  // Listens on 127.0.0.1 at a free port; Port() is 0 when it cannot.
  RawHttpPeer();
  ~RawHttpPeer();
  RawHttpPeer(const RawHttpPeer&) = delete;
  RawHttpPeer& operator=(const RawHttpPeer&) = delete;

  int Port() const { return port_; }
  // What every following connection receives after its request; then the
  // peer closes it.
  void SetAnswer(std::string bytes);

 private:
  void Serve();

  std::intptr_t listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex answerMutex_;
  std::string answer_;
  std::thread thread_;
};

}  // namespace Fuzz
