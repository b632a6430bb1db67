#include "support/file_system.h"

#include <windows.h>

namespace Utils {

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(const std::wstring& path) {
  if (path.empty()) return false;
  if (CreateDirectoryW(path.c_str(), nullptr)) return true;
  // Someone else may have made it first; a file of that name is no directory.
  return GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(path);
}

bool MakePrivateDirectory(const std::wstring& path) {
  return DirectoryExists(path) || MakeDirectory(path);
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, buffer);
  // A longer folder reports the size it would need and leaves the buffer unusable.
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

bool FolderAllowsPrograms(const std::wstring&) { return true; }

std::wstring UserCacheFolder() { return std::wstring(); }

bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace Utils
