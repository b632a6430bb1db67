#include <fcntl.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "support/debug_log_platform.h"
#include "support/process_info.h"
#include "support/text.h"

namespace Utils {

LogStamp CurrentLogStamp() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  LogStamp stamp;
  stamp.year = local.tm_year + 1900;
  stamp.month = local.tm_mon + 1;
  stamp.day = local.tm_mday;
  stamp.hour = local.tm_hour;
  stamp.minute = local.tm_min;
  stamp.second = local.tm_sec;
  stamp.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  stamp.threadId = CurrentThreadId();
  stamp.processId = CurrentProcessId();
  return stamp;
}

// Linux has no debugger channel. TALVORIN_DEBUG_LOG plays the listener: unset,
// lines are dropped as Windows drops them with no debugger attached; "stderr"
// writes them to standard error; anything else names a file to append to.
// Each line is one write(), so lines of different threads never mix.
void EmitLogLine(const std::wstring& line) {
  const char* target = std::getenv("TALVORIN_DEBUG_LOG");
  if (target == nullptr || *target == 0) return;
  const std::string bytes = ToNarrow(line, kCodePageUtf8);
  if (std::strcmp(target, "stderr") == 0) {
    (void)!write(STDERR_FILENO, bytes.data(), bytes.size());
    return;
  }
  const int fd = open(target, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  (void)!write(fd, bytes.data(), bytes.size());
  close(fd);
}

}  // namespace Utils
