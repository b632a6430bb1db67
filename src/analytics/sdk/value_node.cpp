#include "analytics/sdk/value_node.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <locale>
#include <sstream>

#include "analytics/sdk/validation.h"

namespace zv_transport {

namespace utils {

ValueNode ValueNode::Number(double value) {
  ValueNode node;
  node.value_.emplace<kNumber>(value);
  return node;
}
ValueNode ValueNode::Integer(std::int64_t value) {
  ValueNode node;
  node.value_.emplace<kInteger>(value);
  return node;
}
ValueNode ValueNode::String(std::string value) {
  ValueNode node;
  node.value_.emplace<kString>(std::move(value));
  return node;
}
ValueNode ValueNode::List(std::vector<std::string> value) {
  ValueNode node;
  node.value_.emplace<kList>(std::move(value));
  return node;
}
ValueNode ValueNode::Time(DateTime value) {
  ValueNode node;
  node.value_.emplace<kDateTime>(value);
  return node;
}
ValueNode ValueNode::Bool(bool value) {
  ValueNode node;
  node.value_.emplace<kBool>(value);
  return node;
}
ValueNode ValueNode::Object(const ObjectNode& value) {
  ValueNode node;
  node.value_.emplace<kObject>(std::make_shared<const ObjectNode>(value));
  return node;
}

void ValueNode::AppendJson(std::string& out) const {
  switch (kind()) {
    case kNumber: out += FormatNumber(number()); break;
    case kInteger: out += std::to_string(integer()); break;
    case kString: AppendEscapedString(out, string()); break;
    case kList: {
      out += '[';
      bool first = true;
      for (const std::string& element : list()) {
        if (!first) out += ',';
        first = false;
        AppendEscapedString(out, element);
      }
      out += ']';
      break;
    }
    case kDateTime: out += FormatDateTime(dateTime()); break;
    case kBool: out += boolean() ? "true" : "false"; break;
    case kObject: object().AppendJson(out); break;
  }
}

const ValueNode* ObjectNode::Find(const std::string& key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

std::string ObjectNode::ToJson() const {
  std::string out;
  AppendJson(out);
  return out;
}

void ObjectNode::AppendJson(std::string& out) const {
  out += '{';
  bool first = true;
  for (const auto& [key, value] : entries_) {
    if (!first) out += ',';
    first = false;
    // Keys that pass the key rule need no escape; any other is escaped, so
    // that the text stays JSON whatever reached the object.
    AppendEscapedString(out, key);
    out += ':';
    value.AppendJson(out);
  }
  out += '}';
}

}  // namespace utils

namespace {

// A JSON number cannot be infinite or not a number: the stream would write
// "inf" or "nan", and the collection service would refuse the whole batch.
bool CheckNumber(const std::string& key, double value) {
  if (std::isfinite(value)) return true;
  std::cerr << "Number property '" << key << "' is not a finite number, value: " << value << std::endl;
  return false;
}

bool CheckString(const std::string& key, const std::string& value) {
  if (value.size() > PropertiesNode::kMaxStringBytes) {
    std::cerr << "String property '" << key << "' is too long, value: " << value << std::endl;
    return false;
  }
  if (!IsValidUtf8(value)) {
    std::cerr << "String property '" << key << "' is not valid UTF-8 string, value: " << value
              << std::endl;
    return false;
  }
  return true;
}

// Lists and nested objects hold the same texts and numbers as the set
// itself, and nested keys are written unescaped like the set's own: every
// part passes the rules of its kind.
bool CheckValue(const std::string& key, const utils::ValueNode& value) {
  switch (value.kind()) {
    case utils::ValueNode::kNumber: return CheckNumber(key, value.number());
    case utils::ValueNode::kString: return CheckString(key, value.string());
    case utils::ValueNode::kList:
      for (const std::string& element : value.list())
        if (!CheckString(key, element)) return false;
      return true;
    case utils::ValueNode::kObject:
      for (const auto& [nestedKey, nested] : value.object().entries())
        if (!CheckKey(nestedKey, "Property Key") || !CheckValue(nestedKey, nested)) return false;
      return true;
    default: return true;
  }
}

}  // namespace

bool PropertiesNode::SetString(const std::string& key, const std::string& value) {
  if (!CheckString(key, value)) return false;
  Set(key, utils::ValueNode::String(value));
  return true;
}

bool PropertiesNode::SetString(const std::string& key, const char* value) {
  return SetString(key, std::string(value == nullptr ? "" : value));
}

bool PropertiesNode::SetNumber(const std::string& key, double value) {
  if (!CheckNumber(key, value)) return false;
  Set(key, utils::ValueNode::Number(value));
  return true;
}
void PropertiesNode::SetInteger(const std::string& key, std::int64_t value) {
  Set(key, utils::ValueNode::Integer(value));
}
void PropertiesNode::SetBool(const std::string& key, bool value) {
  Set(key, utils::ValueNode::Bool(value));
}
void PropertiesNode::SetDateTime(const std::string& key, DateTime value) {
  Set(key, utils::ValueNode::Time(value));
}
void PropertiesNode::SetList(const std::string& key, const std::string& onlyElement) {
  SetList(key, std::vector<std::string>{onlyElement});
}
void PropertiesNode::SetList(const std::string& key, std::vector<std::string> value) {
  utils::ValueNode list = utils::ValueNode::List(std::move(value));
  if (!CheckValue(key, list)) return;
  Set(key, std::move(list));
}
void PropertiesNode::SetObject(const std::string& key, const utils::ObjectNode& value) {
  utils::ValueNode object = utils::ValueNode::Object(value);
  if (!CheckValue(key, object)) return;
  Set(key, std::move(object));
}

void AppendEscapedString(std::string& out, const std::string& value) {
  out += '"';
  for (const char c : value) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        // Any other control byte would end the record as JSON; texts that
        // skip the UTF-8 rule (identifiers, event names of profile records)
        // may carry one.
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

std::string FormatNumber(double value) {
  // NaN and the infinities have no JSON form; a property holding one is
  // refused when set, and one that slipped through some other way is null.
  if (!std::isfinite(value)) return "null";
  std::ostringstream stream;
  stream.imbue(std::locale::classic());
  stream << value;
  return stream.str();
}

std::string FormatDateTime(DateTime value) {
  const std::time_t seconds = static_cast<std::time_t>(value.seconds);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char text[64];
  std::snprintf(text, sizeof text, "\"%04d-%02d-%02d %02d:%02d:%02d.%03d\"", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(value.milliseconds));
  return text;
}

}  // namespace zv_transport
