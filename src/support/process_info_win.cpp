#include <windows.h>
#include <shellapi.h>

#include "support/process_info.h"

namespace Utils {

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

std::uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

std::wstring GetExecutablePath() {
  for (DWORD capacity = MAX_PATH; capacity <= 32768; capacity *= 2) {
    std::wstring buffer(capacity, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), capacity);
    if (n == 0) return {};
    if (n < capacity) {
      buffer.resize(n);
      return buffer;
    }
  }
  return {};
}

std::vector<std::wstring> GetProcessArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(list[i]);
  LocalFree(list);
  return arguments;
}

}  // namespace Utils
