// A private X server (Xvfb) for the tests and benchmarks of the Linux window
// host: started as a real child process on a free display number, stopped
// when the object dies. Linux only.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "support/child_process.h"

namespace TestSupport {

class XvfbDisplay {
 public:
  // 1024 × 768 at 24 bits; Name() stays empty when Xvfb cannot start.
  XvfbDisplay() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) return;
    try {
      child_ = std::make_unique<Utils::ChildProcess>();
      // -displayfd: Xvfb picks a free display and writes its number once it
      // accepts connections, so there is no polling and no clash with other runs.
      child_->Start(L"/usr/bin/Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp -noreset");
    } catch (const Utils::Exception&) {
      child_.reset();
      return;
    }
    std::string number;
    char c = 0;
    while (child_->ReadOutput(&c, 1) == 1 && c != '\n') number.push_back(c);
    if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos) name_ = ":" + number;
  }

  ~XvfbDisplay() {
    if (child_ == nullptr) return;
    if (child_->IsRunning()) kill(static_cast<pid_t>(child_->ProcessId()), SIGTERM);
    try {
      child_->WaitForExit();
    } catch (const Utils::Exception&) {
    }
  }

  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  const std::string& Name() const { return name_; }

 private:
  std::unique_ptr<Utils::ChildProcess> child_;
  std::string name_;
};

}  // namespace TestSupport
