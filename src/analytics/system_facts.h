// The few facts about the system that become common properties and the
// analytics identity, asked of the system per OS; the text forms are portable.
#pragma once

#include <cstdint>
#include <string>

namespace zorvan::analytics {

struct OsNameAndVersion {
  std::string name;     // "Windows"; "Linux" on Linux
  std::string version;  // "10", "7-32", ...; the kernel release on Linux
  bool is64Bit = false;
};

struct LocaleParts {
  std::string language, country, text;  // text = language "_" country
};

OsNameAndVersion QueryOsNameAndVersion();
// The user's language and country; empty parts when the system says none.
LocaleParts QuerySystemLocale();
// 16 random bytes from the system (a GUID); false when it cannot give any.
bool QueryGuidBytes(unsigned char bytes[16]);
// The primary screen's size in pixels; 0 when there is none to ask.
void QueryScreenSize(std::int32_t& width, std::int32_t& height);
// The folder per-user application data goes to (UTF-8, no trailing
// separator), or empty.
std::string QueryLocalAppDataFolder();
// The running executable's folder (UTF-8, no trailing separator).
std::string QueryExecutableFolder();
// The current user's own local application-data folder in its full form
// (Windows %LOCALAPPDATA%, Linux $XDG_DATA_HOME), or empty.
std::string QueryUserDataFolder();

// The platform the records name: "Windows" or "Linux".
const char* PlatformName();

// Portable forms.
// The analytics version text for the system's true version numbers.
std::string AnalyticsWindowsVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                                    bool is64Bit, bool serverR2);
// "Mozilla/5.0(<name> <version>; Win64;)" (Win32 on 32-bit systems; on
// Linux "Linux64"/"Linux32").
std::string UserAgentText(const OsNameAndVersion& os);
// A stored locale text split at its first "_"; nullopt-like empty text when
// it has none.
bool SplitLocaleText(const std::string& text, LocaleParts& parts);
// "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X" of a GUID's bytes in
// memory order.
std::string FormatDistinctId(const unsigned char bytes[16]);
// A new distinct id: a GUID in the form above, up to 10 tries; otherwise one
// made of pseudo-random numbers.
std::string NewDistinctId();

}  // namespace zorvan::analytics
