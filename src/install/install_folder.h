// Checks on an installation folder that hold on every system.
#pragma once

#include <cstdint>
#include <string>

namespace Installer {

// False for an empty folder and for one holding a character that no Windows
// path may hold: control characters, '"', '<', '>', '|', '?', '*', and ':'
// anywhere but right after a leading drive letter. Such a folder would be
// written into the package's command line, where a double quote ends the
// quoted folder and starts arguments of its own.
bool IsValidInstallFolder(const std::wstring& folder);

// True when both name the same folder once "." and ".." levels, doubled
// separators and trailing separators are resolved (without regard to case on
// Windows, where file names ignore it).
bool IsSameFolder(const std::wstring& first, const std::wstring& second);

// True for the exit code of a program the system ended for a fault: an
// exception status (0xC0000000 and above) on Windows; on POSIX, where the
// launcher reports a signal as 128 + its number, the signals of faults
// (SIGILL, SIGABRT, SIGBUS, SIGFPE, SIGKILL, SIGSEGV).
bool IsCrashExitCode(std::uint32_t exitCode);

// The folder part of a file path (everything before the last separator).
std::wstring ParentFolder(const std::wstring& path);

}  // namespace Installer
