// The few file-system questions the portable code asks the system.
#pragma once

#include <string>

namespace Utils {

bool FileExists(const std::wstring& path);       // a regular file (or anything not a directory)
bool DirectoryExists(const std::wstring& path);
// Creates one directory level; true when it exists afterwards.
bool MakeDirectory(const std::wstring& path);
// Like MakeDirectory, for a folder the program will run files from: true when
// the directory exists afterwards and nobody but this user can change what is
// in it. On POSIX a new one is made with mode 0700, and an existing one must be
// a real directory (no symbolic link) owned by the effective user and writable
// by nobody else; shared temporary folders make this worth asking. On Windows
// the temporary folder is the user's own, and existing is enough.
bool MakePrivateDirectory(const std::wstring& path);
// The system's temporary folder, ending in a path separator, or empty.
std::wstring TempFolder();
// Whether programs may be run from files in `folder`: on POSIX its file
// system is not mounted noexec (a folder that cannot be asked counts as
// allowing them); on Windows always.
bool FolderAllowsPrograms(const std::wstring& folder);
// The user's own cache folder, ending in a path separator and created when
// missing: $XDG_CACHE_HOME, else ~/.cache. Empty on Windows (the temporary
// folder is the user's own there) and when none can be had.
std::wstring UserCacheFolder();
// True for the characters that separate path levels on this system.
bool IsPathSeparator(wchar_t c);

}  // namespace Utils
