// The window's side of the orchestrator's callback contract, for tests: it
// records every notification, from whatever thread, and lets a test wait for
// one to arrive.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/notify_callback.h"

namespace TestSupport {

struct Received {
  std::int32_t code;
  double value;
  std::wstring text;
};

class InstallRecorder {
 public:
  NotifyCallback Callback();

  // Waits until a notification with one of `codes` has arrived (counting from
  // the first), or the time is up; true when one did.
  bool WaitFor(std::vector<std::int32_t> codes, std::chrono::seconds limit = std::chrono::seconds(120));

  std::vector<Received> All() const;
  // The codes in arrival order, without the progress codes 1002, 2002, 5002.
  std::vector<std::int32_t> CodesWithoutProgress() const;
  // Every notification with `code`.
  std::vector<Received> With(std::int32_t code) const;
  // The text of the first notification with `code`, or "<none>".
  std::wstring TextOf(std::int32_t code) const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Received> received_;
};

// Full path of the demo package built beside the test program.
std::wstring DemoPackagePath();
// The demo package's file name as the package server's "file=" names it.
std::string DemoPackageFileName();

}  // namespace TestSupport
