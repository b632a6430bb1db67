#include "support/os_version.h"

namespace Utils {

std::wstring WindowsVersionName(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                                bool serverR2) {
  if (major <= 4) return L"XP-";
  if (major == 5) {
    if (minor == 0) return L"2K";
    if (minor == 1) return L"XP";
    if (minor == 2) return serverR2 ? L"Server 2003 R2" : L"Server 2003";
    return L"XP+";
  }
  if (major == 6) {
    static const wchar_t* const kNames[] = {L"Vista", L"7", L"8", L"8.1"};
    return minor < 4 ? kNames[minor] : L"8.1+";
  }
  if (major == 10) return minor == 0 ? L"10" : L"10+";
  return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(build);
}

}  // namespace Utils
