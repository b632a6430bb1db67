#include "install/file_operations.h"

#include <windows.h>

namespace Installer {

bool DeleteFileQuietly(const std::wstring& path) {
  if (path.empty()) return true;
  // The image of a program that has just ended stays mapped for a moment
  // after its end is signalled; until then the file cannot be deleted.
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (DeleteFileW(path.c_str())) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
    Sleep(50);
  }
  return false;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  if (from.empty() || to.empty()) return false;
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

bool MakeExecutable(const std::wstring& path) { return !path.empty(); }

bool CanCreateFile(const std::wstring& path) {
  if (path.empty()) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileW(path.c_str());
  return true;
}

std::wstring VolumeOf(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2) + L"\\";
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

}  // namespace Installer
