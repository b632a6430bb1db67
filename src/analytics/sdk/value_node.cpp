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

bool PropertiesNode::SetString(const std::string& key, const std::string& value) {
  if (value.size() > kMaxStringBytes) {
    std::cerr << "String property '" << key << "' is too long, value: " << value << std::endl;
    return false;
  }
  if (!IsValidUtf8(value)) {
    std::cerr << "String property '" << key << "' is not valid UTF-8 string, value: " << value
              << std::endl;
    return false;
  }
  Set(key, utils::ValueNode::String(value));
  return true;
}

bool PropertiesNode::SetString(const std::string& key, const char* value) {
  return SetString(key, std::string(value == nullptr ? "" : value));
}

bool PropertiesNode::SetNumber(const std::string& key, double value) {
  if (!std::isfinite(value)) {
    std::cerr << "Number property '" << key << "' is not a finite number, value: " << value
              << std::endl;
    return false;
  }
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
  Set(key, utils::ValueNode::List({onlyElement}));
}
void PropertiesNode::SetList(const std::string& key, std::vector<std::string> value) {
  Set(key, utils::ValueNode::List(std::move(value)));
}
void PropertiesNode::SetObject(const std::string& key, const utils::ObjectNode& value) {
  Set(key, utils::ValueNode::Object(value));
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
      default: out += c;
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
