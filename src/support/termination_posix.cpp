// Linux side of the termination requests:
// - SIGTERM, SIGINT and SIGHUP are caught; the handler only writes the
//   signal's number to a pipe opened in advance (write is safe there);
// - a thread of its own reads the pipe and makes the request;
// - SIGPIPE is ignored, so that a package left running is not ended by our end.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "support/termination.h"
#include "support/thread.h"

namespace Utils {

namespace {

int requestPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signalNumber) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signalNumber);
  (void)!::write(requestPipe[1], &number, 1);
  errno = saved;
}

const wchar_t* SignalName(int number) {
  switch (number) {
    case SIGTERM: return L"SIGTERM";
    case SIGINT: return L"SIGINT";
    case SIGHUP: return L"SIGHUP";
    default: return L"a signal";
  }
}

}  // namespace

void ListenForSystemTerminationRequests() {
  if (requestPipe[0] != -1) return;
  if (::pipe2(requestPipe, O_CLOEXEC) != 0) return;
  std::thread([] {
    AlternateSignalStack signalStack;
    unsigned char number = 0;
    while (true) {
      const ssize_t got = ::read(requestPipe[0], &number, 1);
      if (got == 1) {
        RequestTermination(std::wstring(L"signal ") + SignalName(number));
      } else if (got < 0 && errno == EINTR) {
        continue;
      } else {
        return;
      }
    }
  }).detach();
  // A reader that goes away (standard error piped into a program that ended,
  // or this program ending while its package still writes) makes writes
  // fail rather than end the writer.
  ::signal(SIGPIPE, SIG_IGN);
  struct sigaction action{};
  action.sa_handler = &OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(number, &action, nullptr);
}

}  // namespace Utils
