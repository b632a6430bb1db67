#include "analytics/context_properties.h"

#include "analytics/event_types.h"
#include "analytics/zv_exception.h"

namespace zorvan::analytics {

namespace {

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

ZvContextProperties::ZvContextProperties() : index_(8), lists_(kTrackEventKinds) {
  index_.max_load_factor(1.0f);
}

void ZvContextProperties::setProperty(const std::string& name, const std::string& value,
                                      const std::vector<std::int32_t>& eventKinds) {
  auto shared = std::make_shared<const std::string>(value);
  if (!index_.emplace(name, shared).second) {
    ThrowZv("setProperty", "Property[" + name + "] already exist!");
  }
  for (const std::int32_t kind : eventKinds) {
    if (kind < 0 || kind >= kTrackEventKinds) {
      ThrowZv("setProperty", "ZvEvent[" + std::to_string(kind) + "] overflow!");
    }
    lists_[static_cast<std::size_t>(kind)].push_back({ZvContextEntry::kString, shared, name});
  }
}

const std::vector<ZvContextEntry>& ZvContextProperties::getEventProperties(std::int32_t kind) const {
  if (kind < 0 || kind >= kTrackEventKinds) {
    ThrowZv("getEventProperties", "ZvEvent[" + std::to_string(kind) + "] overflow!");
  }
  return lists_[static_cast<std::size_t>(kind)];
}

bool ZvContextProperties::isValidABValue(const std::string& value) {
  if (value.empty()) return false;
  if (value.size() >= 4) ThrowZv("isValidABValue", "value's length is great than 3.");
  if (!IsUpper(value[0])) ThrowZv("isValidABValue", "First char is not in A to Z");
  if (value.size() > 1 && !IsUpper(value[1]) && !IsDigit(value[1])) {
    ThrowZv("isValidABValue", "second char is not in A to Z and 0 to 9");
  }
  if (value.size() > 2 && !IsUpper(value[2]) && !IsDigit(value[2])) {
    ThrowZv("isValidABValue", "third char is not in A to Z and 0 to 9");
  }
  return true;
}

}  // namespace zorvan::analytics
