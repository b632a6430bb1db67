// Windows: appends through a handle opened with FILE_APPEND_DATA only (each
// WriteFile lands at the end as a whole), FlushFileBuffers to force a file to
// disk, and replacement by MoveFileExW with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH.
#include <windows.h>

#include <algorithm>

#include "analytics/sdk/journal_file.h"
#include "support/text.h"

namespace zv_transport {

namespace {

std::wstring Wide(const std::string& utf8) { return Utils::ToWide(utf8, Utils::kCodePageUtf8); }

HANDLE AsHandle(NativeFile file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path) {
  // Others may read and delete it; the replacement closes it first.
  const HANDLE handle = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<AppendFile>(new AppendFile(reinterpret_cast<NativeFile>(handle)));
}

AppendFile::~AppendFile() {
  if (native_ != kNoNativeFile) CloseHandle(AsHandle(native_));
}

bool AppendFile::Append(const std::string& bytes) {
  return AppendToNativeFile(native_, bytes.data(), bytes.size());
}

bool AppendFile::Sync() { return FlushFileBuffers(AsHandle(native_)) != 0; }

bool AppendToNativeFile(NativeFile file, const char* bytes, std::size_t size) {
  if (file == kNoNativeFile || size > 0x7FFFFFFF) return false;
  DWORD written = 0;
  return WriteFile(AsHandle(file), bytes, static_cast<DWORD>(size), &written, nullptr) &&
         written == size;
}

std::int64_t SignalSafeUnixMilliseconds() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10000 - 11644473600000LL;  // 100 ns since 1601 to ms since 1970
}

bool ReplaceFileDurably(const std::string& path, const std::string& bytes) {
  const std::wstring target = Wide(path);
  const std::wstring temporary = target + L".new";
  const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    ok = WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
    done += written;
  }
  ok = ok && FlushFileBuffers(handle);
  ok = CloseHandle(handle) && ok;
  if (!ok || !MoveFileExW(temporary.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
  const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string text;
  char buffer[16384];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr) || text.size() + got > limit) {
      CloseHandle(handle);
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, got);
  }
  CloseHandle(handle);
  return text;
}

bool RemoveFileIfPresent(const std::string& path) {
  if (DeleteFileW(Wide(path).c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace zv_transport
