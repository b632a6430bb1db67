#include "support/file_system.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "support/text.h"

namespace Utils {
namespace {

// The path as the kernel takes it. An empty answer means the path cannot be
// expressed in the locale's character set, and no file can have that name.
std::string NativePath(const std::wstring& path) {
  return path.empty() ? std::string() : ToNarrow(path, kCodePageAnsi);
}

bool StatPath(const std::wstring& path, struct stat& info) {
  const std::string native = NativePath(path);
  return !native.empty() && ::stat(native.c_str(), &info) == 0;
}

}  // namespace

bool FileExists(const std::wstring& path) {
  struct stat info {};
  return StatPath(path, info) && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::wstring& path) {
  struct stat info {};
  return StatPath(path, info) && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::wstring& path) {
  const std::string native = NativePath(path);
  if (native.empty()) return false;
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  // Someone else may have made it first; a file of that name is no directory.
  return errno == EEXIST && DirectoryExists(path);
}

bool MakePrivateDirectory(const std::wstring& path) {
  std::string native = NativePath(path);
  // lstat of "name/" would follow a symbolic link named "name".
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (native.empty()) return false;
  if (::mkdir(native.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat info {};
  return ::lstat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::wstring TempFolder() {
  // A relative TMPDIR would move with the working directory; such a value is
  // ignored, as the C library's tmpfile family does with unusable ones.
  std::string folder = "/tmp";
  if (const char* value = std::getenv("TMPDIR"); value != nullptr && value[0] == '/') {
    folder = value;
  }
  if (folder.back() != '/') folder.push_back('/');
  return ToWide(folder, kCodePageAnsi);
}

bool FolderAllowsPrograms(const std::wstring& folder) {
  struct statvfs info{};
  if (::statvfs(ToNarrow(folder, kCodePageAnsi).c_str(), &info) != 0) return true;
  return (info.f_flag & ST_NOEXEC) == 0;
}

std::wstring UserCacheFolder() {
  std::string folder;
  if (const char* value = std::getenv("XDG_CACHE_HOME"); value != nullptr && value[0] == '/') {
    folder = value;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    folder = std::string(home) + "/.cache";
  } else {
    return std::wstring();
  }
  if (folder.back() != '/') folder.push_back('/');
  // Each missing level made with the user's default mode.
  for (std::size_t at = 1; at <= folder.size(); ++at) {
    if (at == folder.size() || folder[at] == '/') {
      const std::string level = folder.substr(0, at);
      if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return std::wstring();
    }
  }
  return ToWide(folder, kCodePageAnsi);
}

bool IsPathSeparator(wchar_t c) { return c == L'/'; }

}  // namespace Utils
