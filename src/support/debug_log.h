// The installer's diagnostic log: one wide line per call, prefixed with the
// process id, thread id, local time, calling function and source line.
//
// On Windows the lines go to the debugger channel (OutputDebugStringW). On
// Linux they go where TALVORIN_DEBUG_LOG names ("stderr", or a file that is
// appended to); without it they are discarded, as Windows discards them when
// no debugger listens. A LogCapture diverts them for as long as it lives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Utils {

// Formats and emits one line. `format` follows the conventions every caller
// relies on: "%s" takes a wide string, "%d" and "%ld" a 32-bit integer, "%lld"
// a 64-bit integer, "%f" a double. A message whose literal already ends in a
// line feed gets no second line end; any other ends in "\r\n".
void DebugLog(const wchar_t* function, int line, const wchar_t* format, ...);

// The qualified function name the log prints, taken from the compiler's full
// signature text ("void CurlClient::Start(int)" gives "CurlClient::Start").
std::wstring QualifiedFunctionName(const char* prettyFunction);

// The parts of a line's prefix, separated out so that the exact text can be
// produced and checked without a clock or a live thread.
struct LogStamp {
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Builds the complete line as DebugLog does, from a stamp and a va_list-free
// pre-formatted message. Returns an empty string when formatting fails.
std::wstring FormatLogLine(const LogStamp& stamp, const std::wstring& function, int line,
                           const wchar_t* format, ...);

// While alive, every line of every thread goes to `sink` instead of the
// platform's channel. Captures do not nest; the newest one wins until it ends.
class LogCapture {
 public:
  explicit LogCapture(std::function<void(const std::wstring&)> sink);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

 private:
  std::function<void(const std::wstring&)> sink_;
};

}  // namespace Utils

#define TV_LOG_FUNCTION_NAME() (::Utils::QualifiedFunctionName(__PRETTY_FUNCTION__).c_str())

// Call site form: DEBUG_LOG(L"CurlDownLoader Code=%d", code);
#define DEBUG_LOG(...) ::Utils::DebugLog(TV_LOG_FUNCTION_NAME(), __LINE__, __VA_ARGS__)
