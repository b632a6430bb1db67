#include <windows.h>

#include "support/profile_file.h"

namespace Utils {

// The system's reader answers the default both for a missing key and, on some
// systems, for an empty one; a default no file can hold tells them apart.
std::optional<std::wstring> ReadProfileValue(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& filePath) {
  static const wchar_t kAbsent[] = L"\x1\x2\x3";
  wchar_t buffer[kProfileValueCapacity] = {};
  GetPrivateProfileStringW(section.c_str(), key.c_str(), kAbsent, buffer,
                           static_cast<DWORD>(kProfileValueCapacity), filePath.c_str());
  if (std::wstring(buffer) == kAbsent) return std::nullopt;
  return std::wstring(buffer);
}

}  // namespace Utils
