#include <windows.h>

#include "support/debug_log_platform.h"

namespace Utils {

LogStamp CurrentLogStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  LogStamp stamp;
  stamp.year = now.wYear;
  stamp.month = now.wMonth;
  stamp.day = now.wDay;
  stamp.hour = now.wHour;
  stamp.minute = now.wMinute;
  stamp.second = now.wSecond;
  stamp.millisecond = now.wMilliseconds;
  stamp.threadId = GetCurrentThreadId();
  stamp.processId = GetCurrentProcessId();
  return stamp;
}

void EmitLogLine(const std::wstring& line) { OutputDebugStringW(line.c_str()); }

}  // namespace Utils
