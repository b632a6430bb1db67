// The analytics configuration file: an INI file read and written with the
// private-profile rules (names without regard to case, values trimmed), its
// values cut at 127 bytes when read.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zorvan::analytics {

inline constexpr std::size_t kConfigValueBytes = 127;

// Empty when the file, section or key is missing.
std::string ReadConfigValue(const std::string& file, const std::string& section,
                            const std::string& key);
// Sets the keys of one section, creating the file, section or keys as
// needed, and keeps everything else of the file. A value is written so that
// reading gives it back: a line feed becomes a blank, and a value with blanks
// or quotes at its ends is quoted. False when it cannot be written.
bool WriteConfigValues(const std::string& file, const std::string& section,
                       const std::vector<std::pair<std::string, std::string>>& values);

// The text of a file with one key of one section set (the portable core).
std::string SetConfigValueInText(const std::string& text, const std::string& section,
                                 const std::string& key, const std::string& value);
bool FileExistsUtf8(const std::string& file);

}  // namespace zorvan::analytics
