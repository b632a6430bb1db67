// Reading settings files with the private-profile rules on every OS: section
// and key names compared without regard to case, values trimmed and freed of
// one pair of enclosing quotes, at most 259 characters of a value kept.
#pragma once

#include <optional>
#include <string>

namespace Utils {

inline constexpr std::size_t kProfileValueCapacity = 260;  // 259 characters and a zero

// The value of `key` in `section` of the file, or `defaultValue` (trimmed of
// trailing blanks) when the file, the section or the key is missing.
std::wstring ReadProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& defaultValue, const std::wstring& filePath);

// The integer rule (ParseDecimalInt of text.h): optional sign and the leading decimal digits of the value,
// 0 when there are none, saturated to the 32-bit range; `defaultValue` when
// the key is missing.
int ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                   const std::wstring& filePath);

// The cleaned value of `key`, or nullopt when the file, the section or the
// key is missing (per OS: GetPrivateProfileStringW on Windows).
std::optional<std::wstring> ReadProfileValue(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& filePath);

// The portable halves, used by the Linux reader and by the integer rule.
// Looks `key` up in the text of a whole settings file; nullopt when missing.
std::optional<std::wstring> FindProfileValue(const std::wstring& fileText,
                                             const std::wstring& section, const std::wstring& key);
// Trims, removes one pair of matching enclosing quotes and cuts to 259 characters.
std::wstring CleanProfileValue(const std::wstring& raw);

}  // namespace Utils
