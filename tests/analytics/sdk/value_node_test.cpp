#include "analytics/sdk/value_node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <functional>

#include "analytics/sdk/record_builder.h"
#include "analytics/sdk/validation.h"

namespace {

using zv_transport::BuildRecord;
using zv_transport::DateTime;
using zv_transport::PropertiesNode;
using zv_transport::RecordContext;
using zv_transport::RecordInput;

struct NumberCase {
  double value;
  const char* json;
};

TEST(ValueNodeJson, NumbersUseTheStreamDefaultForm) {
  const NumberCase cases[] = {{0.1, "0.1"},      {1e-07, "1e-07"}, {12.5, "12.5"},
                              {1250000.25, "1.25e+06"}, {0.0, "0"}, {-3.0, "-3"},
                              {123456.0, "123456"}, {1234567.0, "1.23457e+06"}};
  for (const NumberCase& c : cases) {
    EXPECT_EQ(zv_transport::FormatNumber(c.value), c.json) << c.value;
  }
}

TEST(ValueNodeJson, StringsEscapeTheFixedSetAndOtherControlBytesAndKeepOtherBytes) {
  std::string out;
  zv_transport::AppendEscapedString(out, "q\"b\\\b\t\n\f\r\x01\x1F\x7F/\xE4\xB8\xAD");
  EXPECT_EQ(out, "\"q\\\"b\\\\\\b\\t\\n\\f\\r\\u0001\\u001f\x7F/\xE4\xB8\xAD\"");
}

// Values that JSON cannot hold are refused like bad strings, so that every
// record stays one valid JSON text.
TEST(ValueNodeJson, NumbersListsAndObjectsJsonCannotHoldAreRefused) {
  zv_transport::utils::ObjectNode badKey;
  badKey.Set("a\"b", zv_transport::utils::ValueNode::Integer(1));
  zv_transport::utils::ObjectNode badText;
  badText.Set("k", zv_transport::utils::ValueNode::String("\xFF"));
  zv_transport::utils::ObjectNode deeper;
  deeper.Set("inner", zv_transport::utils::ValueNode::Object(badText));
  zv_transport::utils::ObjectNode good;
  good.Set("inner", zv_transport::utils::ValueNode::Number(0.5));

  struct Case {
    const char* what;
    std::function<void(PropertiesNode&)> set;
    const char* message;  // the start of the message, or null when stored
  };
  const Case cases[] = {
      {"infinity", [](PropertiesNode& p) { p.SetNumber("v", HUGE_VAL); },
       "Number property 'v' is not a finite number, value: "},
      {"not a number", [](PropertiesNode& p) { p.SetNumber("v", std::nan("")); },
       "Number property 'v' is not a finite number, value: "},
      {"list with a bad text", [](PropertiesNode& p) { p.SetList("v", std::vector<std::string>{"ok", "\x01"}); },
       "String property 'v' is not valid UTF-8 string, value: "},
      {"one-element list with a bad text", [](PropertiesNode& p) { p.SetList("v", "\xC0"); },
       "String property 'v' is not valid UTF-8 string, value: "},
      {"object with a bad key", [&](PropertiesNode& p) { p.SetObject("v", badKey); },
       "The Property Key need to be a valid variable name."},
      {"object with a bad text inside", [&](PropertiesNode& p) { p.SetObject("v", deeper); },
       "String property 'k' is not valid UTF-8 string, value: "},
      {"good object", [&](PropertiesNode& p) { p.SetObject("v", good); }, nullptr},
      {"good list", [](PropertiesNode& p) { p.SetList("v", std::vector<std::string>{"a", "b"}); }, nullptr},
  };
  for (const Case& c : cases) {
    PropertiesNode properties;
    testing::internal::CaptureStderr();
    c.set(properties);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(properties.Has("v"), c.message == nullptr) << c.what;
    if (c.message != nullptr) {
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.what << ": " << message;
    }
  }
}

TEST(ValueNodeJson, ObjectsSortKeysByteWiseWithoutWhiteSpace) {
  PropertiesNode properties;
  properties.SetString("b", "x");
  properties.SetInteger("B", 7);
  properties.SetBool("_a", true);
  properties.SetBool("$z", false);
  properties.SetList("l", std::vector<std::string>{"one", "two"});
  properties.SetNumber("n", 0.5);
  zv_transport::utils::ObjectNode inner;
  inner.Set("k", zv_transport::utils::ValueNode::String("v"));
  properties.SetObject("o", inner);
  properties.SetString("b", "replaced");
  EXPECT_EQ(properties.ToJson(),
            "{\"$z\":false,\"B\":7,\"_a\":true,\"b\":\"replaced\",\"l\":[\"one\",\"two\"],"
            "\"n\":0.5,\"o\":{\"k\":\"v\"}}");
}

TEST(ValueNodeJson, DateTimesAreLocalTimeWithMilliseconds) {
  std::tm local{};
  local.tm_year = 2023 - 1900;
  local.tm_mon = 9;
  local.tm_mday = 25;
  local.tm_hour = 8;
  local.tm_min = 3;
  local.tm_sec = 43;
  local.tm_isdst = -1;
  const std::int64_t seconds = static_cast<std::int64_t>(std::mktime(&local));
  EXPECT_EQ(zv_transport::FormatDateTime(DateTime{seconds, 250}), "\"2023-10-25 08:03:43.250\"");
  EXPECT_EQ(zv_transport::FormatDateTime(DateTime{seconds, 7}), "\"2023-10-25 08:03:43.007\"");
}

struct KeyCase {
  std::string key;
  bool accepted;
};

TEST(ValidationRules, KeyRule) {
  const KeyCase cases[] = {
      {"a", true}, {"_x", true}, {"$os", true}, {"Zz09_$", true}, {std::string(100, 'k'), true},
      {"", false}, {"9lives", false}, {"has-hyphen", false}, {"has space", false},
      {std::string(101, 'k'), false}, {"\xC3\xA9t\xC3\xA9", false}, {"a.b", false}};
  for (const KeyCase& c : cases) {
    EXPECT_EQ(zv_transport::CheckKey(c.key, "Property Key"), c.accepted) << c.key;
  }
}

TEST(ValidationRules, KeyRuleMessagesNameTheLabelAndTheFault) {
  testing::internal::CaptureStderr();
  zv_transport::CheckKey(std::string(101, 'e'), "Event Name");
  zv_transport::CheckKey("1x", "Property Key");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "The Event Name is empty or too long, max length is 100\n"
            "The Property Key need to be a valid variable name.\n");
}

TEST(ValidationRules, IdentifierRule) {
  testing::internal::CaptureStderr();
  EXPECT_TRUE(zv_transport::CheckIdentifier("x", "Distinct ID"));
  EXPECT_TRUE(zv_transport::CheckIdentifier(std::string(255, 'i'), "Distinct ID"));
  EXPECT_FALSE(zv_transport::CheckIdentifier("", "Distinct ID"));
  EXPECT_FALSE(zv_transport::CheckIdentifier(std::string(256, 'i'), "Original ID"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "The Distinct ID is empty.\nThe Original ID is too long, max length is 255.\n");
}

struct Utf8Case {
  std::string text;
  bool valid;
};

TEST(ValidationRules, Utf8Rule) {
  const Utf8Case cases[] = {
      {"plain ascii ~", true}, {"tab\tlf\ncr\r", true}, {"\xC2\x80", true}, {"\xDF\xBF", true},
      {"\xE0\xA0\x80", true}, {"\xE4\xB8\xAD\xE6\x96\x87", true}, {"\xED\x9F\xBF", true},
      {"\xEE\x80\x80", true}, {"\xF0\x90\x80\x80", true}, {"\xF3\xBF\xBF\xBF", true},
      {"\xF4\x8F\xBF\xBF", true}, {"", true},
      {"\x01", false}, {"\x7F", false}, {"\x08", false}, {"\x0C", false},
      {"\xC0\x80", false}, {"\xC1\xBF", false}, {"\xC2", false}, {"\xC2\x41", false},
      {"\xE0\x80\x80", false}, {"\xED\xA0\x80", false}, {"\xE4\xB8", false},
      {"\xF0\x80\x80\x80", false}, {"\xF4\x90\x80\x80", false}, {"\xF5\x80\x80\x80", false},
      {"\x80", false}, {"\xFF", false}};
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(zv_transport::IsValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
  }
}

struct StringValueCase {
  std::string value;
  bool stored;
  const char* message;  // what the standard error stream gets, or null
};

TEST(ValidationRules, StringValuesAreCappedAndMustBeUtf8) {
  const StringValueCase cases[] = {
      {std::string(8192, 'x'), true, nullptr},
      {std::string(8193, 'x'), false, "String property 'v' is too long, value: "},
      {"a\tb\nc\rd", true, nullptr},
      {"bell\x01", false, "String property 'v' is not valid UTF-8 string, value: "},
      {"del\x7F", false, "String property 'v' is not valid UTF-8 string, value: "}};
  for (const StringValueCase& c : cases) {
    PropertiesNode properties;
    testing::internal::CaptureStderr();
    EXPECT_EQ(properties.SetString("v", c.value), c.stored) << c.value.size();
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(properties.Has("v"), c.stored);
    if (c.message == nullptr) {
      EXPECT_EQ(message, "");
    } else {
      EXPECT_EQ(message, std::string(c.message) + c.value + "\n");
    }
  }
  PropertiesNode escaped;
  escaped.SetString("v", "a\tb\nc\rd");
  EXPECT_EQ(escaped.ToJson(), "{\"v\":\"a\\tb\\nc\\rd\"}");
}

RecordInput Track(const std::string& event, PropertiesNode properties) {
  return RecordInput{"track", event, std::move(properties), "device-1", ""};
}

TEST(RecordBuilder, RecordHasTheFixedKeyOrderAndMergesCommonProperties) {
  PropertiesNode common;
  common.SetString("$lib", "cpp");
  common.SetString("$lib_version", "0.9");
  common.SetString("zv_app_id", "Talvorin.downloader");
  PropertiesNode given;
  given.SetString("zv_app_id", "given wins");
  given.SetNumber("zv_task_elapsed", 0.1);
  const auto record = BuildRecord(Track("ZvEventTask", given), RecordContext{&common, false, 1700000000123, 421234567});
  ASSERT_TRUE(record);
  EXPECT_EQ(record->ToJson(),
            "{\"_track_id\":421234567,\"distinct_id\":\"device-1\",\"event\":\"ZvEventTask\","
            "\"lib\":{\"$lib\":\"cpp\",\"$lib_method\":\"code\",\"$lib_version\":\"0.9\"},"
            "\"properties\":{\"$lib\":\"cpp\",\"$lib_version\":\"0.9\",\"zv_app_id\":\"given wins\","
            "\"zv_task_elapsed\":0.1},\"time\":1700000000123,\"type\":\"track\"}");
}

struct RecordCase {
  const char* label;
  RecordInput input;
  bool accepted;
  const char* message;
};

TEST(RecordBuilder, RulesThatDropARecord) {
  auto with = [](auto fill) {
    PropertiesNode properties;
    fill(properties);
    return properties;
  };
  const RecordCase cases[] = {
      {"digit first key", Track("E", with([](PropertiesNode& p) { p.SetInteger("1st", 1); })), false,
       "The Property Key need to be a valid variable name.\n"},
      {"hyphen key", Track("E", with([](PropertiesNode& p) { p.SetInteger("a-b", 1); })), false,
       "The Property Key need to be a valid variable name.\n"},
      {"underscore and dollar keys", Track("E", with([](PropertiesNode& p) {
         p.SetInteger("_a", 1);
         p.SetInteger("$b", 2);
         p.SetInteger("c3", 3);
       })), true, ""},
      {"$time not a date", Track("E", with([](PropertiesNode& p) { p.SetInteger("$time", 5); })), false,
       "The property '$time' should be DateTime type.\n"},
      {"$project not a string", Track("E", with([](PropertiesNode& p) { p.SetBool("$project", true); })),
       false, "The property '$project' should be String type.\n"},
      {"event name of 100 bytes", Track(std::string(100, 'e'), PropertiesNode()), true, ""},
      {"event name of 101 bytes", Track(std::string(101, 'e'), PropertiesNode()), false,
       "The Event Name is empty or too long, max length is 100\n"},
      {"sign-up without original id", RecordInput{"track_signup", "$SignUp", PropertiesNode(), "u", ""},
       false, "The Original ID is empty.\n"},
      {"profile record needs no event", RecordInput{"profile_set", "", PropertiesNode(), "u", ""}, true, ""},
  };
  for (const RecordCase& c : cases) {
    testing::internal::CaptureStderr();
    const auto record = BuildRecord(c.input, RecordContext{nullptr, false, 1, 1});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message) << c.label;
    EXPECT_EQ(record.has_value(), c.accepted) << c.label;
  }
}

TEST(RecordBuilder, TimeProjectAndLoginFlagShapeTheRecord) {
  std::tm local{};
  local.tm_year = 2023 - 1900;
  local.tm_mon = 9;
  local.tm_mday = 25;
  local.tm_hour = 8;
  local.tm_min = 3;
  local.tm_sec = 43;
  local.tm_isdst = -1;
  const std::int64_t seconds = static_cast<std::int64_t>(std::mktime(&local));
  PropertiesNode properties;
  properties.SetDateTime("$time", DateTime{seconds, 250});
  properties.SetString("$project", "installer");
  const auto record = BuildRecord(Track("E", properties), RecordContext{nullptr, true, 99, 1});
  ASSERT_TRUE(record);
  EXPECT_EQ(record->Find("time")->integer(), seconds * 1000 + 250);
  EXPECT_EQ(record->Find("project")->string(), "installer");
  EXPECT_EQ(record->Find("properties")->object().ToJson(), "{\"$is_login_id\":true}");

  const auto signup = BuildRecord(RecordInput{"track_signup", "$SignUp", PropertiesNode(), "user-7", "device-1"},
                                  RecordContext{nullptr, false, 5, 1});
  ASSERT_TRUE(signup);
  EXPECT_EQ(signup->ToJson(),
            "{\"_track_id\":1,\"distinct_id\":\"user-7\",\"event\":\"$SignUp\",\"lib\":{\"$lib\":\"cpp\","
            "\"$lib_method\":\"code\",\"$lib_version\":\"0.9\"},\"original_id\":\"device-1\","
            "\"properties\":{},\"time\":5,\"type\":\"track_signup\"}");
}

TEST(RecordBuilder, TrackIdJoinsTwoRandomPiecesAndTheTime) {
  // 5 % 99 + 100 = 105 -> "05"; 7 % 999 + 1000 = 1007 -> "007"; time ...6789.
  EXPECT_EQ(zv_transport::MakeTrackId(5, 7, 1700000006789), 50076789);
  EXPECT_EQ(zv_transport::MakeTrackId(98, 998, 1700000000001), 989980001);
}

// NaN and the infinities have no JSON form: such a property is refused with
// its message (the record keeps the others), and nothing that is not JSON
// is ever written for one.
TEST(ValueNodeJson, NonFiniteNumbersNeverBecomeJson) {
  const double values[] = {std::nan(""), INFINITY, -INFINITY};
  const char* texts[] = {"nan", "inf", "-inf"};
  for (std::size_t i = 0; i < 3; ++i) {
    PropertiesNode properties;
    properties.SetNumber("kept", 1.5);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(properties.SetNumber("elapsed", values[i]));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("Number property 'elapsed' is not a finite number, value: ") + texts[i] + "\n");
    EXPECT_EQ(properties.ToJson(), "{\"kept\":1.5}");
    zv_transport::utils::ObjectNode direct;
    direct.Set("n", zv_transport::utils::ValueNode::Number(values[i]));
    EXPECT_EQ(direct.ToJson(), "{\"n\":null}");
  }
}

// Keys of nested objects follow the key rule like top-level keys (a bad one
// drops the record with the rule's message), and any key is written escaped.
TEST(RecordBuilder, NestedKeysAreCheckedAndEscaped) {
  const RecordContext context{nullptr, false, 1700000000000, 123456789};
  for (const char* key : {"9lives", "a\"b", "x-y"}) {
    zv_transport::utils::ObjectNode inner;
    inner.Set(key, zv_transport::utils::ValueNode::Integer(1));
    zv_transport::utils::ObjectNode deeper;
    deeper.Set("ok", zv_transport::utils::ValueNode::Object(inner));
    // The setter refuses the object with the rule's message, so no record
    // carries the bad key.
    PropertiesNode properties;
    testing::internal::CaptureStderr();
    properties.SetObject("outer", deeper);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "The Property Key need to be a valid variable name.\n");
    const auto record = BuildRecord(RecordInput{"track", "E", properties, "d", ""}, context);
    if (record) {
      EXPECT_EQ(record->ToJson().find(key), std::string::npos) << key;
    }
  }
  zv_transport::utils::ObjectNode odd;
  odd.Set("a\"b\\", zv_transport::utils::ValueNode::Bool(true));
  EXPECT_EQ(odd.ToJson(), "{\"a\\\"b\\\\\":true}");
}

}  // namespace
