// The analytics record model: a property tree built from the input through
// the setters the trackers use, then one record built from it. Either a
// rule refuses it, or its JSON text is accepted by a strict JSON parser and
// holds the same values.
#include "fuzz/fuzz_targets.h"

#include <json/json.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>

#include "analytics/sdk/record_builder.h"
#include "analytics/sdk/value_node.h"

namespace Fuzz {

namespace {

using zv_transport::utils::ObjectNode;
using zv_transport::utils::ValueNode;

std::int64_t Int64(InputReader& input) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = value << 8 | input.Byte();
  return static_cast<std::int64_t>(value);
}

double Double(InputReader& input) {
  const std::int64_t bits = Int64(input);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string Text(InputReader& input) { return std::string(input.TakeUntilZero()); }

// A nested object as callers make one: through the node's own setters.
ObjectNode NestedObject(InputReader& input, int depth) {
  ObjectNode object;
  const int entries = input.Byte() % 4;
  for (int i = 0; i < entries && !input.Empty(); ++i) {
    const std::string key = Text(input);
    switch (input.Byte() % 5) {
      case 0: object.Set(key, ValueNode::String(Text(input))); break;
      case 1: object.Set(key, ValueNode::Number(Double(input))); break;
      case 2: object.Set(key, ValueNode::Integer(Int64(input))); break;
      case 3: object.Set(key, ValueNode::List({Text(input), Text(input)})); break;
      default:
        if (depth < 3) object.Set(key, ValueNode::Object(NestedObject(input, depth + 1)));
    }
  }
  return object;
}

std::string Same(const ValueNode& node, const Json::Value& json, const std::string& where);

std::string SameObject(const ObjectNode& object, const Json::Value& json, const std::string& where) {
  if (!json.isObject()) return where + " is no object";
  if (json.size() != object.entries().size()) return where + " has another number of members";
  for (const auto& [key, value] : object.entries()) {
    if (!json.isMember(key)) return where + " lacks a member";
    if (std::string problem = Same(value, json[key], where + "." + key); !problem.empty()) return problem;
  }
  return {};
}

std::string Same(const ValueNode& node, const Json::Value& json, const std::string& where) {
  switch (node.kind()) {
    case ValueNode::kNumber: {
      // Six significant digits are written.
      const double value = node.number();
      if (!json.isNumeric()) return where + " is no number";
      const double read = json.asDouble();
      if (std::fabs(read - value) > 5e-6 * std::fabs(value) + 1e-300) return where + " is another number";
      return {};
    }
    case ValueNode::kInteger:
      if (!json.isInt64() || json.asInt64() != node.integer()) return where + " is another integer";
      return {};
    case ValueNode::kString:
      if (!json.isString() || json.asString() != node.string()) return where + " is another string";
      return {};
    case ValueNode::kList: {
      if (!json.isArray() || json.size() != node.list().size()) return where + " is another list";
      for (Json::ArrayIndex i = 0; i < json.size(); ++i)
        if (!json[i].isString() || json[i].asString() != node.list()[i]) return where + " holds another string";
      return {};
    }
    case ValueNode::kDateTime:
      if (!json.isString() || json.asString().size() < 23) return where + " is no time text";
      return {};
    case ValueNode::kBool:
      if (!json.isBool() || json.asBool() != node.boolean()) return where + " is another truth value";
      return {};
    case ValueNode::kObject: return SameObject(node.object(), json, where);
  }
  return where + " has an unknown kind";
}

}  // namespace

std::string CheckRecordModel(const std::uint8_t* data, std::size_t size) {
  InputReader input(data, size);
  static const char* const kActionTypes[] = {"track", "track_signup", "profile_set", "profile_set_once",
                                             "profile_increment", "profile_append"};
  zv_transport::RecordInput record;
  record.actionType = kActionTypes[input.Byte() % 6];
  record.eventName = Text(input);
  record.distinctId = Text(input);
  record.originalId = Text(input);
  zv_transport::PropertiesNode common;
  common.SetString("$lib", "cpp");
  common.SetString("$lib_version", "0.9");

  while (!input.Empty()) {
    const std::uint8_t op = input.Byte();
    const std::string key = Text(input);
    switch (op % 8) {
      case 0: record.properties.SetString(key, Text(input)); break;
      case 1: record.properties.SetNumber(key, Double(input)); break;
      case 2: record.properties.SetInteger(key, Int64(input)); break;
      case 3: record.properties.SetBool(key, (input.Byte() & 1) != 0); break;
      case 4: {
        const std::int64_t seconds = Int64(input) % 400000000000;
        record.properties.SetDateTime(key, {seconds, static_cast<std::int32_t>(input.Byte()) * 4});
        break;
      }
      case 5: record.properties.SetList(key, Text(input)); break;
      case 6: record.properties.SetList(key, std::vector<std::string>{Text(input), Text(input)}); break;
      default: record.properties.SetObject(key, NestedObject(input, 0)); break;
    }
  }

  zv_transport::RecordContext context;
  context.commonProperties = &common;
  context.loginFlag = (size & 1) != 0;
  context.nowMilliseconds = 1700000000000;
  context.trackId = 123456789;
  const std::optional<ObjectNode> built = zv_transport::BuildRecord(record, context);
  if (!built) return {};

  const std::string text = built->ToJson();
  // JSON forbids control bytes outside escapes (jsoncpp lets them pass).
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20) return "a record holds a raw control byte";
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value parsed;
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errors))
    return "a strict JSON parser refuses the record: " + errors;
  return SameObject(*built, parsed, "record");
}

}  // namespace Fuzz
