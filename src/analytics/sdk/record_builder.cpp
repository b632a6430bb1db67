#include "analytics/sdk/record_builder.h"

#include <chrono>
#include <iostream>

#include "analytics/sdk/validation.h"

namespace zv_transport {

namespace {

std::string LastDigits(const std::string& text, std::size_t count) {
  return text.size() <= count ? text : text.substr(text.size() - count);
}

// Keys of nested objects follow the rule of top-level keys, at every depth.
bool NestedKeysPass(const utils::ValueNode& value) {
  if (value.kind() != utils::ValueNode::kObject) return true;
  for (const auto& [key, inner] : value.object().entries()) {
    if (!CheckKey(key, "Property Key") || !NestedKeysPass(inner)) return false;
  }
  return true;
}

}  // namespace

std::optional<utils::ObjectNode> BuildRecord(const RecordInput& input, const RecordContext& context) {
  for (const auto& [key, value] : input.properties.entries()) {
    if (!CheckKey(key, "Property Key") || !NestedKeysPass(value)) return std::nullopt;
    if (key == "$time" && value.kind() != utils::ValueNode::kDateTime) {
      std::cerr << "The property '$time' should be DateTime type." << std::endl;
      return std::nullopt;
    }
    if (key == "$project" && value.kind() != utils::ValueNode::kString) {
      std::cerr << "The property '$project' should be String type." << std::endl;
      return std::nullopt;
    }
  }
  const bool isTrack = input.actionType == "track";
  const bool isSignup = input.actionType == "track_signup";
  if (isTrack && !CheckKey(input.eventName, "Event Name")) return std::nullopt;
  if (isSignup && !CheckIdentifier(input.originalId, "Original ID")) return std::nullopt;

  utils::ObjectNode properties;
  if (input.actionType.find("track") != std::string::npos && context.commonProperties != nullptr) {
    properties = *context.commonProperties;
  }
  for (const auto& [key, value] : input.properties.entries()) properties.Set(key, value);

  std::int64_t time = context.nowMilliseconds;
  if (const utils::ValueNode* given = properties.Find("$time")) {
    const DateTime moment = given->dateTime();
    time = moment.seconds * 1000 + moment.milliseconds;
    properties.Erase("$time");
  }
  std::optional<std::string> project;
  if (const utils::ValueNode* given = properties.Find("$project")) {
    project = given->string();
    properties.Erase("$project");
  }
  if (context.loginFlag) properties.Set("$is_login_id", utils::ValueNode::Bool(true));

  utils::ObjectNode lib;
  lib.Set("$lib", utils::ValueNode::String(kLibName));
  lib.Set("$lib_version", utils::ValueNode::String(kLibVersion));
  lib.Set("$lib_method", utils::ValueNode::String("code"));

  utils::ObjectNode record;
  record.Set("type", utils::ValueNode::String(input.actionType));
  record.Set("time", utils::ValueNode::Integer(time));
  record.Set("distinct_id", utils::ValueNode::String(input.distinctId));
  record.Set("properties", utils::ValueNode::Object(properties));
  record.Set("lib", utils::ValueNode::Object(lib));
  record.Set("_track_id", utils::ValueNode::Integer(context.trackId));
  if (project) record.Set("project", utils::ValueNode::String(*project));
  if (isTrack || isSignup) record.Set("event", utils::ValueNode::String(input.eventName));
  if (isSignup) record.Set("original_id", utils::ValueNode::String(input.originalId));
  return record;
}

std::int64_t MakeTrackId(unsigned random1, unsigned random2, std::int64_t nowMilliseconds) {
  const std::string text = LastDigits(std::to_string(random1 % 99 + 100), 2) +
                           LastDigits(std::to_string(random2 % 999 + 1000), 3) +
                           LastDigits(std::to_string(nowMilliseconds), 4);
  return std::stoll(text);
}

std::int64_t NowMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace zv_transport
