#include "analytics/system_facts.h"

#include <cstdio>
#include <random>

namespace zorvan::analytics {

std::string AnalyticsWindowsVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                                    bool is64Bit, bool serverR2) {
  if (major == 5) {
    if (minor == 0) return "2K";
    if (minor == 1) return "XP";
    if (minor == 2) return is64Bit ? "XP64" : (serverR2 ? "Server 2003 R2" : "Server 2003");
    return "XP+";
  }
  if (major == 6) {
    if (minor == 0) return is64Bit ? "Vista64" : "Vista";
    if (minor == 1) return is64Bit ? "7" : "7-32";
    if (minor == 2) return is64Bit ? "8" : "8-32";
    if (minor == 3) return "8.1";
    return "8.1+";
  }
  if (major == 10) {
    if (minor == 0) return build < 22000 ? "10" : "11";
    return "11+";
  }
  if (major > 4) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
  }
  return "XP-";
}

std::string UserAgentText(const OsNameAndVersion& os) {
#ifdef _WIN32
  const char* family = "Win";
#else
  const char* family = "Linux";
#endif
  return "Mozilla/5.0(" + os.name + " " + os.version + "; " + family +
         (os.is64Bit ? "64;)" : "32;)");
}

bool SplitLocaleText(const std::string& text, LocaleParts& parts) {
  const std::size_t underscore = text.find('_');
  if (underscore == std::string::npos) return false;
  parts.language = text.substr(0, underscore);
  parts.country = text.substr(underscore + 1);
  parts.text = text;
  return true;
}

std::string FormatDistinctId(const unsigned char b[16]) {
  const unsigned data1 = static_cast<unsigned>(b[0]) | static_cast<unsigned>(b[1]) << 8 |
                         static_cast<unsigned>(b[2]) << 16 | static_cast<unsigned>(b[3]) << 24;
  const unsigned data2 = static_cast<unsigned>(b[4]) | static_cast<unsigned>(b[5]) << 8;
  const unsigned data3 = static_cast<unsigned>(b[6]) | static_cast<unsigned>(b[7]) << 8;
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1,
                data2, data3, b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

std::string NewDistinctId() {
  unsigned char bytes[16];
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (QueryGuidBytes(bytes)) return FormatDistinctId(bytes);
  }
  std::mt19937 random(std::random_device{}());
  unsigned n[8];
  for (unsigned& value : n) value = static_cast<unsigned>(random());
  char text[96];
  std::snprintf(text, sizeof text, "%x%x-%x-%x-%x-%x%x%x", n[0], n[1], n[2], n[3], n[4], n[5],
                n[6], n[7]);
  return text;
}

}  // namespace zorvan::analytics
