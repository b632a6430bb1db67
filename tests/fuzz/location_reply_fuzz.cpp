// The location service's reply: taken into a location when it is a JSON
// object, then kept in the identity file, where it must neither disturb the
// identity nor come back changed.
#include "fuzz/fuzz_targets.h"

#include "analytics/config_file.h"
#include "analytics/location_time.h"
#include "analytics/sdk/validation.h"

namespace Fuzz {

namespace {

// What a value of the file can hold: one line of text, read back trimmed
// of nothing it did not have, at most 127 bytes.
bool Storable(const std::string& value) {
  if (!zv_transport::IsValidUtf8(value)) return false;
  for (const char c : value)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

}  // namespace

std::string CheckLocationReply(const std::uint8_t* data, std::size_t size) {
  using namespace zorvan::analytics;
  const std::string body(reinterpret_cast<const char*>(data), size);
  LocationResult result;
  if (!ZvLocationTime::ApplyReply(body, result)) return {};

  const std::filesystem::path path = ScratchFolder() / "location.ini";
  const std::string file = PathUtf8(path);
  WriteFileBytes(path, "[Base]\r\nDistinctId=abc\r\nUserId=u1\r\n");
  // As the identity's save keeps a location.
  WriteConfigValues(file, "Local",
                    {{"AssistIP", result.ip},
                     {"country", result.country},
                     {"countryCode", result.countryCode},
                     {"province", result.province},
                     {"City", result.city}});
  if (ReadConfigValue(file, "Base", "DistinctId") != "abc" || ReadConfigValue(file, "Base", "UserId") != "u1")
    return "a stored location changed the identity";
  const std::string text = ReadFileBytes(path);
  std::size_t sections = 0;
  for (std::size_t at = 0; (at = text.find("\n[", at)) != std::string::npos; ++at) ++sections;
  if (text.rfind("[", 0) == 0) ++sections;
  if (sections != 2) return "a stored location made sections of its own";

  const std::pair<const char*, const std::string*> stored[] = {
      {"AssistIP", &result.ip}, {"country", &result.country}, {"countryCode", &result.countryCode},
      {"province", &result.province}, {"City", &result.city}};
  for (const auto& [key, value] : stored) {
    if (value->size() > kConfigValueBytes || !Storable(*value)) continue;
    if (ReadConfigValue(file, "Local", key) != *value) return std::string("the stored ") + key + " reads back changed";
  }
  return {};
}

}  // namespace Fuzz
