// The transport's typed property model and the exact JSON text of a record:
// keys in byte order, no white space, strings escaped with the few escapes
// the collection service reads, numbers in the stream's default notation.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace zv_transport {

// A moment as seconds since the Unix epoch and the milliseconds within it.
struct DateTime {
  std::int64_t seconds = 0;
  std::int32_t milliseconds = 0;
};

namespace utils {

class ObjectNode;

class ValueNode {
 public:
  enum Kind { kNumber = 0, kInteger = 1, kString = 2, kList = 3, kDateTime = 4, kBool = 5, kObject = 6 };

  ValueNode() : value_(0.0) {}
  static ValueNode Number(double value);
  static ValueNode Integer(std::int64_t value);
  static ValueNode String(std::string value);
  static ValueNode List(std::vector<std::string> value);
  static ValueNode Time(DateTime value);
  static ValueNode Bool(bool value);
  static ValueNode Object(const ObjectNode& value);

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  double number() const { return std::get<kNumber>(value_); }
  std::int64_t integer() const { return std::get<kInteger>(value_); }
  const std::string& string() const { return std::get<kString>(value_); }
  const std::vector<std::string>& list() const { return std::get<kList>(value_); }
  DateTime dateTime() const { return std::get<kDateTime>(value_); }
  bool boolean() const { return std::get<kBool>(value_); }
  const ObjectNode& object() const { return *std::get<kObject>(value_); }

  void AppendJson(std::string& out) const;

 private:
  std::variant<double, std::int64_t, std::string, std::vector<std::string>, DateTime, bool,
               std::shared_ptr<const ObjectNode>>
      value_;
};

class ObjectNode {
 public:
  using Map = std::map<std::string, ValueNode>;  // std::less<std::string>: byte order

  // Replaces the value of an existing key.
  void Set(const std::string& key, ValueNode value) { entries_[key] = std::move(value); }
  bool Has(const std::string& key) const { return entries_.count(key) != 0; }
  const ValueNode* Find(const std::string& key) const;
  void Erase(const std::string& key) { entries_.erase(key); }
  void Clear() { entries_.clear(); }
  const Map& entries() const { return entries_; }

  std::string ToJson() const;
  void AppendJson(std::string& out) const;

 private:
  Map entries_;
};

}  // namespace utils

// The property set of one tracking call. String values that are too long or
// not valid UTF-8 are refused (a message on the standard error stream) and
// leave the set as it was; so are numbers that are not finite, and lists and
// nested objects holding such a value or a key that fails the key rule.
class PropertiesNode : public utils::ObjectNode {
 public:
  static constexpr std::size_t kMaxStringBytes = 8192;

  bool SetString(const std::string& key, const std::string& value);
  bool SetString(const std::string& key, const char* value);
  // NaN and the infinities are refused like bad strings (a message on the
  // standard error stream; the set stays as it was).
  bool SetNumber(const std::string& key, double value);
  void SetInteger(const std::string& key, std::int64_t value);
  void SetBool(const std::string& key, bool value);
  void SetDateTime(const std::string& key, DateTime value);
  void SetList(const std::string& key, const std::string& onlyElement);
  void SetList(const std::string& key, std::vector<std::string> value);
  void SetObject(const std::string& key, const utils::ObjectNode& value);
};

// JSON text pieces, exposed for their own tests.
void AppendEscapedString(std::string& out, const std::string& value);
std::string FormatNumber(double value);
// "\"YYYY-MM-DD hh:mm:ss.mmm\"" in local time.
std::string FormatDateTime(DateTime value);

}  // namespace zv_transport
