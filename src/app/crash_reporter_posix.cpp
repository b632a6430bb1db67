#include <signal.h>

#include <atomic>
#include <cstdlib>

#include "app/crash_reporter.h"

namespace Installer {

namespace {

std::atomic<CrashReport> installedReport{nullptr};
std::atomic<bool> reported{false};

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

extern "C" void OnFatalSignal(int signalNumber) {
  if (!reported.exchange(true)) {
    if (CrashReport report = installedReport.load()) report();
  }
  // SA_RESETHAND restored the default action: the process ends by the same
  // signal, so whoever waits for it learns what happened.
  raise(signalNumber);
}

// A crash by stack overflow has no stack left to run the handler on.
void ProvideAlternateStack() {
  // Held here, so that the stack lives as long as the process and a leak
  // checker sees it is still in use.
  static void* alternateStack = nullptr;
  if (alternateStack) return;
  const std::size_t size = SIGSTKSZ > 65536 ? SIGSTKSZ : 65536;
  stack_t stack{};
  stack.ss_sp = std::malloc(size);
  if (!stack.ss_sp) return;
  stack.ss_size = size;
  if (sigaltstack(&stack, nullptr) == 0) {
    alternateStack = stack.ss_sp;
  } else {
    std::free(stack.ss_sp);
  }
}

}  // namespace

void InstallCrashReporter(CrashReport report) {
  installedReport = report;
  ProvideAlternateStack();
  struct sigaction action{};
  action.sa_handler = &OnFatalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_ONSTACK;
  for (int signalNumber : kFatalSignals) sigaction(signalNumber, &action, nullptr);
}

}  // namespace Installer
