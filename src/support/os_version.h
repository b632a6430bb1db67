// Operating-system identification for the download route and analytics.
#pragma once

#include <cstdint>
#include <string>

namespace Utils {

// Fills the system name and version name. On Windows the system name is
// "Windows" and the version name comes from WindowsVersionName; on Linux the
// system name is "Linux" and the version name is the kernel release.
void GetOsVersion(std::wstring& systemName, std::wstring& versionName);

// True when the operating system is 64-bit, whatever the process is.
bool IsOs64Bit();

// The Windows version name for the numbers RtlGetNtVersionNumbers reports
// ("7", "8.1", "10", "Server 2003 R2", "11.0.22000" ...). `build` is the low
// 16 bits of the build number.
std::wstring WindowsVersionName(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                                bool serverR2);

}  // namespace Utils
