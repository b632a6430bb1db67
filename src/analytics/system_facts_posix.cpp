#include <sys/random.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <filesystem>

#include "analytics/system_facts.h"
#include "support/os_version.h"
#include "support/process_info.h"
#include "support/text.h"

namespace zorvan::analytics {

OsNameAndVersion QueryOsNameAndVersion() {
  OsNameAndVersion os;
  os.name = "Linux";
  utsname names{};
  if (::uname(&names) == 0) os.version = names.release;
  os.is64Bit = Utils::IsOs64Bit();
  return os;
}

LocaleParts QuerySystemLocale() {
  // "zh_CN.UTF-8@variant": language and territory, as the message catalogues use.
  LocaleParts parts;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string text = value;
    text = text.substr(0, text.find_first_of(".@"));
    if (!SplitLocaleText(text, parts) || parts.language.empty() || parts.country.empty()) {
      parts = LocaleParts();
    }
    break;
  }
  return parts;
}

bool QueryGuidBytes(unsigned char bytes[16]) {
  if (::getrandom(bytes, 16, 0) != 16) return false;
  bytes[7] = static_cast<unsigned char>((bytes[7] & 0x0F) | 0x40);  // version 4 (Data3's high byte)
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  return true;
}

void QueryScreenSize(std::int32_t& width, std::int32_t& height) {
  // The core library talks to no display server; no screen is known here.
  width = 0;
  height = 0;
}

std::string QueryLocalAppDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return data;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return std::string();
  return std::string(home) + "/.local/share";
}

std::string QueryUserDataFolder() { return QueryLocalAppDataFolder(); }

const char* PlatformName() { return "Linux"; }

std::string QueryExecutableFolder() {
  const std::string path = Utils::ToNarrow(Utils::GetExecutablePath(), Utils::kCodePageUtf8);
  return std::filesystem::path(path).parent_path().string();
}

}  // namespace zorvan::analytics
