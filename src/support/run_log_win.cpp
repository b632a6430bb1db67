// Windows side of the run log: the folder is the temporary folder, the file
// a handle opened for appending (one WriteFile per line), not inherited by
// the package, so a crash filter can write to it too.
#include <windows.h>

#include <atomic>

#include "support/debug_log_platform.h"
#include "support/file_system.h"
#include "support/run_log.h"
#include "support/text.h"

namespace Utils {

namespace {

std::atomic<HANDLE> runLogHandle{INVALID_HANDLE_VALUE};

}  // namespace

std::wstring RunLogFolder() { return TempFolder(); }

bool OpenRunLogFile(const std::wstring& path, bool replace) {
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    replace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const HANDLE previous = runLogHandle.exchange(file);
  if (previous != INVALID_HANDLE_VALUE) ::CloseHandle(previous);
  return true;
}

std::intptr_t RunLogDescriptor() {
  const HANDLE file = runLogHandle.load();
  return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(file);
}

void AppendToRunLog(const std::wstring& line) {
  const HANDLE file = runLogHandle.load();
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string bytes = ToNarrow(line, kCodePageUtf8);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace Utils
