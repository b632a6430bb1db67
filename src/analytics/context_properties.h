// Extra properties a caller attaches to some kinds of events: each added once
// with the list of event kinds it applies to.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace zorvan::analytics {

inline constexpr char zvc_ab[] = "zvc_ab";

struct ZvContextEntry {
  enum Type : std::int32_t { kBool = 0, kText = 1, kNumber = 2, kString = 3, kStringList = 4 };
  std::int32_t type = kString;
  std::shared_ptr<const std::string> value;
  std::string name;
};

class ZvContextProperties {
 public:
  ZvContextProperties();

  // Adds one string property for the given kinds (TrackEventType numbers).
  // Throws ZvException for a name given twice or a kind of 15 or more; the
  // entries for earlier kinds then stay.
  void setProperty(const std::string& name, const std::string& value,
                   const std::vector<std::int32_t>& eventKinds);

  // Throws for a kind of 15 or more.
  const std::vector<ZvContextEntry>& getEventProperties(std::int32_t kind) const;

  // An A/B group: empty is not valid; at most three bytes, an upper-case
  // letter first, then upper-case letters or digits. Throws for other forms.
  static bool isValidABValue(const std::string& value);

 private:
  std::unordered_map<std::string, std::shared_ptr<const std::string>> index_;
  std::vector<std::vector<ZvContextEntry>> lists_;
};

}  // namespace zorvan::analytics
