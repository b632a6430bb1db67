// Linux side of the crash reporter:
// - handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT, run on the
//   alternate signal stack (the main thread's is set up here; every thread
//   the installer starts has its own, see Utils::AlternateSignalStack);
// - the handler writes "crash: signal <n>" to the run log with write(),
//   calls the report once and re-raises the signal.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "app/crash_reporter.h"

namespace Installer {

namespace {

std::atomic<CrashReport> installedReport{nullptr};
std::atomic<bool> reported{false};
std::atomic<int> logFd{-1};

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// The log line, built on the handler's stack from constant pieces.
void WriteCrashLine(int signalNumber) {
  const int fd = logFd.load();
  if (fd < 0) return;
  char line[64] = "crash: the installer ended by signal ";
  std::size_t length = 0;
  while (line[length] != 0) ++length;
  char digits[12];
  std::size_t count = 0;
  unsigned value = static_cast<unsigned>(signalNumber);
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && count < sizeof digits);
  while (count > 0 && length < sizeof line - 2) line[length++] = digits[--count];
  line[length++] = '\r';
  line[length++] = '\n';
  (void)!::write(fd, line, length);
}

extern "C" void OnFatalSignal(int signalNumber) {
  if (!reported.exchange(true)) {
    WriteCrashLine(signalNumber);
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

void InstallCrashReporter(CrashReport report, std::intptr_t logDescriptor, const std::wstring&) {
  installedReport = report;
  logFd = static_cast<int>(logDescriptor);
  ProvideAlternateStack();
  struct sigaction action{};
  action.sa_handler = &OnFatalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_ONSTACK;
  for (int signalNumber : kFatalSignals) sigaction(signalNumber, &action, nullptr);
}

}  // namespace Installer
