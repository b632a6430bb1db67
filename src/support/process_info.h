// Facts about the running process that the settings, the command line and
// the log need.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Utils {

std::uint32_t CurrentProcessId();
std::uint32_t CurrentThreadId();

// Full path of the running executable, or empty when the system cannot say.
std::wstring GetExecutablePath();

// The process's own arguments, the program path first, as the system's
// standard command-line rules split them.
std::vector<std::wstring> GetProcessArguments();

// The path separator of file paths handed to the system.
#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

}  // namespace Utils
