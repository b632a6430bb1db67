// The few file-system questions the portable code asks the system.
#pragma once

#include <string>

namespace Utils {

bool FileExists(const std::wstring& path);       // a regular file (or anything not a directory)
bool DirectoryExists(const std::wstring& path);
// Creates one directory level; true when it exists afterwards.
bool MakeDirectory(const std::wstring& path);
// The system's temporary folder, ending in a path separator, or empty.
std::wstring TempFolder();
// True for the characters that separate path levels on this system.
bool IsPathSeparator(wchar_t c);

}  // namespace Utils
