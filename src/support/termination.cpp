#include "support/termination.h"

#include <atomic>
#include <mutex>

namespace Utils {

namespace {

struct Watch {
  std::mutex mutex;
  TerminationHandler handler;
  std::atomic<bool> requested{false};
};

Watch& TheWatch() {
  static Watch* watch = new Watch;  // used until the process ends, by any thread
  return *watch;
}

}  // namespace

void WatchTerminationRequests(TerminationHandler handler) {
  {
    std::lock_guard<std::mutex> lock(TheWatch().mutex);
    TheWatch().handler = std::move(handler);
  }
  ListenForSystemTerminationRequests();
}

void RequestTermination(const std::wstring& reason) {
  TerminationHandler handler;
  {
    std::lock_guard<std::mutex> lock(TheWatch().mutex);
    handler = TheWatch().handler;
  }
  if (!handler || TheWatch().requested.exchange(true)) return;
  handler(reason);
}

}  // namespace Utils
