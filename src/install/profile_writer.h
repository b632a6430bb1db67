// Writing one value of a settings file with the private-profile rules.
#pragma once

#include <string>

namespace Installer {

// Sets `key` in `section` of the file, creating the file and the section
// when missing (Windows: WritePrivateProfileStringW). False when the file
// cannot be written, and (Linux) for a value holding a line break, which the
// file could not keep.
bool WriteProfileValue(const std::wstring& section, const std::wstring& key,
                        const std::wstring& value, const std::wstring& filePath);

// The portable half of the Linux writer: the file text with the value set.
// A value with blanks or quotes at its ends is written in quotes, so that
// reading gives it back unchanged.
std::wstring SetProfileValue(const std::wstring& fileText, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value);

}  // namespace Installer
