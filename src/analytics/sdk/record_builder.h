// One record: the property set of a call validated, merged with the common
// properties and wrapped in the record object the collection service reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "analytics/sdk/value_node.h"

namespace zv_transport {

inline constexpr char kLibName[] = "cpp";
inline constexpr char kLibVersion[] = "0.9";

struct RecordInput {
  std::string actionType;  // "track", "track_signup", "profile_set", ...
  std::string eventName;   // "track" and "track_signup"
  PropertiesNode properties;
  std::string distinctId;
  std::string originalId;  // "track_signup"
};

struct RecordContext {
  const PropertiesNode* commonProperties = nullptr;  // merged into "track" records
  bool loginFlag = false;
  std::int64_t nowMilliseconds = 0;  // the record time without "$time"
  std::int64_t trackId = 0;
};

// The record object, or nullopt when a rule refuses it (its message already
// written to the standard error stream).
std::optional<utils::ObjectNode> BuildRecord(const RecordInput& input, const RecordContext& context);

// The nine-digit track id: two digits and three digits of the two random
// numbers, then the last four digits of the time.
std::int64_t MakeTrackId(unsigned random1, unsigned random2, std::int64_t nowMilliseconds);

std::int64_t NowMilliseconds();

}  // namespace zv_transport
