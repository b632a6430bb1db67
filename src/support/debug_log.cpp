#include "support/debug_log.h"

#include <cstdarg>
#include <cwchar>
#include <memory>
#include <mutex>
#include <new>

#include "support/debug_log_platform.h"
#include "support/run_log.h"

namespace Utils {
namespace {

// The capture installed by LogCapture; guarded because a worker may log while
// the capture ends.
std::mutex& CaptureMutex() {
  static std::mutex mutex;
  return mutex;
}
const std::function<void(const std::wstring&)>*& CurrentCapture() {
  static const std::function<void(const std::wstring&)>* capture = nullptr;
  return capture;
}

bool IsLengthModifier(wchar_t c) {
  return c == L'h' || c == L'l' || c == L'L' || c == L'j' || c == L'z' || c == L't' ||
         c == L'q' || c == L'I';
}

// Rewrites the callers' format conventions into the C library's: "%s" and
// "%c" take wide arguments there only as "%ls" and "%lc", and "%ld" means a
// 32-bit value (long is 64 bits on Linux, so "l" is dropped for integers).
std::wstring ToStandardFormat(const wchar_t* format) {
  std::wstring out;
  for (const wchar_t* p = format; *p != 0;) {
    if (*p != L'%') {
      out += *p++;
      continue;
    }
    out += *p++;
    if (*p == L'%') {
      out += *p++;
      continue;
    }
    while (*p != 0 && std::wcschr(L"-+ #0123456789.*", *p) != nullptr) out += *p++;
    std::wstring length;
    while (*p != 0 && IsLengthModifier(*p)) length += *p++;
    const wchar_t conversion = *p;
    if (conversion == 0) {
      out += length;
      break;
    }
    ++p;
    if (conversion == L's' || conversion == L'c') {
      out += (length == L"h") ? L"" : L"l";
    } else if (length == L"l" && std::wcschr(L"diouxX", conversion) != nullptr) {
      // 32-bit, as on Windows: nothing to add.
    } else {
      out += length;
    }
    out += conversion;
  }
  return out;
}

// vswprintf cannot measure, so grow the buffer until the text fits.
bool FormatInto(std::wstring& out, const wchar_t* format, va_list args) {
  constexpr std::size_t kLimit = std::size_t{1} << 22;
  for (std::size_t capacity = 256; capacity <= kLimit; capacity *= 4) {
    std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[capacity + 2]);
    if (!buffer) return false;
    va_list copy;
    va_copy(copy, args);
    const int written = std::vswprintf(buffer.get(), capacity, format, copy);
    va_end(copy);
    if (written >= 0 && static_cast<std::size_t>(written) < capacity) {
      out.append(buffer.get(), static_cast<std::size_t>(written));
      return true;
    }
  }
  return false;
}

// A message that brings its own line end ("\r\n", or the single "\n" of the
// download progress lines) gets no second one.
bool EndsWithLineEnd(const wchar_t* format) {
  const std::size_t n = std::wcslen(format);
  return n >= 1 && format[n - 1] == L'\n';
}

std::wstring FormatLineV(const LogStamp& stamp, const std::wstring& function, int line,
                         const wchar_t* format, va_list args) {
  std::wstring text;
  wchar_t prefix[512];
  const int written = std::swprintf(
      prefix, sizeof prefix / sizeof prefix[0],
      L"<P%05u><T%05u><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%ls)<%04d>: ", stamp.processId,
      stamp.threadId, stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second,
      stamp.millisecond, function.c_str(), line);
  if (written >= 0) {
    text.assign(prefix, static_cast<std::size_t>(written));
  } else {
    // An unusually long function name: build the prefix in two steps.
    const int head = std::swprintf(prefix, sizeof prefix / sizeof prefix[0],
                                   L"<P%05u><T%05u><%04d-%02d-%02d %02d:%02d:%02d.%03d>(",
                                   stamp.processId, stamp.threadId, stamp.year, stamp.month,
                                   stamp.day, stamp.hour, stamp.minute, stamp.second,
                                   stamp.millisecond);
    if (head < 0) return {};
    text.assign(prefix, static_cast<std::size_t>(head));
    text += function;
    std::swprintf(prefix, sizeof prefix / sizeof prefix[0], L")<%04d>: ", line);
    text += prefix;
  }
  if (!FormatInto(text, ToStandardFormat(format).c_str(), args)) return {};
  if (!EndsWithLineEnd(format)) text += L"\r\n";
  return text;
}

}  // namespace

std::wstring QualifiedFunctionName(const char* prettyFunction) {
  std::string text(prettyFunction);
  // gcc appends template arguments as " [with T = int]".
  if (const std::size_t with = text.find(" [with "); with != std::string::npos) text.resize(with);
  // Drop trailing qualifiers, then the parameter list that ends the signature.
  for (const char* suffix : {" noexcept", " volatile", " const", " &&", " &"}) {
    const std::string s(suffix);
    while (text.size() > s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0)
      text.resize(text.size() - s.size());
  }
  if (!text.empty() && text.back() == ')') {
    int depth = 0;
    for (std::size_t i = text.size(); i-- > 0;) {
      if (text[i] == ')') ++depth;
      if (text[i] == '(' && --depth == 0) {
        text.resize(i);
        break;
      }
    }
  }
  // The return type ends at the last space outside brackets ("operator new"
  // and conversion operators keep their spaces: they follow "operator").
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '<' || c == '(' || c == '[') ++depth;
    if (c == '>' || c == ')' || c == ']') --depth;
    if (c == ' ' && depth == 0) {
      if (i >= 8 && text.compare(i - 8, 8, "operator") == 0) continue;
      start = i + 1;
    }
  }
  std::wstring wide;
  for (std::size_t i = start; i < text.size(); ++i)
    wide += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  return wide;
}

std::wstring FormatLogLine(const LogStamp& stamp, const std::wstring& function, int line,
                           const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatLineV(stamp, function, line, format, args);
  va_end(args);
  return text;
}

void DebugLog(const wchar_t* function, int line, const wchar_t* format, ...) {
  // The clock is read first: a line tells when it was asked for, not when written.
  const LogStamp stamp = CurrentLogStamp();
  std::wstring text;
  try {
    va_list args;
    va_start(args, format);
    text = FormatLineV(stamp, function != nullptr ? function : L"", line, format, args);
    va_end(args);
  } catch (const std::bad_alloc&) {
    return;  // a log line is never worth an error
  }
  if (text.empty()) return;
  AppendToRunLog(text);
  {
    std::lock_guard<std::mutex> lock(CaptureMutex());
    if (const auto* capture = CurrentCapture()) {
      (*capture)(text);
      return;
    }
  }
  EmitLogLine(text);
}

LogCapture::LogCapture(std::function<void(const std::wstring&)> sink) : sink_(std::move(sink)) {
  std::lock_guard<std::mutex> lock(CaptureMutex());
  CurrentCapture() = &sink_;
}

LogCapture::~LogCapture() {
  std::lock_guard<std::mutex> lock(CaptureMutex());
  if (CurrentCapture() == &sink_) CurrentCapture() = nullptr;
}

}  // namespace Utils
