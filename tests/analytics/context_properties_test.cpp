#include "analytics/context_properties.h"

#include <gtest/gtest.h>

#include "analytics/event_types.h"
#include "analytics/funnel_events.h"
#include "analytics/zv_exception.h"

namespace {

using zorvan::analytics::ZvContextProperties;
using zorvan::analytics::ZvException;

struct AbCase {
  const char* value;
  bool valid;
  const char* thrown;  // message, or null when nothing is thrown
};

TEST(AbValueRule, TableOfGroups) {
  const AbCase cases[] = {
      {"IN", true, nullptr}, {"A", true, nullptr}, {"B7", true, nullptr}, {"ZZ9", true, nullptr},
      {"A0Z", true, nullptr}, {"", false, nullptr},
      {"ABCD", false, "value's length is great than 3."},
      {"\xE4\xB8\xAD", false, "First char is not in A to Z"},
      {"aB", false, "First char is not in A to Z"}, {"1A", false, "First char is not in A to Z"},
      {"Ab", false, "second char is not in A to Z and 0 to 9"},
      {"A-1", false, "second char is not in A to Z and 0 to 9"},
      {"AB-", false, "third char is not in A to Z and 0 to 9"},
      {"ABc", false, "third char is not in A to Z and 0 to 9"}};
  for (const AbCase& c : cases) {
    if (c.thrown == nullptr) {
      EXPECT_EQ(ZvContextProperties::isValidABValue(c.value), c.valid) << c.value;
      continue;
    }
    try {
      ZvContextProperties::isValidABValue(c.value);
      ADD_FAILURE() << c.value << " was accepted";
    } catch (const ZvException& error) {
      EXPECT_STREQ(error.what(), c.thrown) << c.value;
      EXPECT_EQ(error.function(), "isValidABValue");
    }
  }
}

TEST(ContextProperties, ANameIsTakenOnce) {
  ZvContextProperties context;
  context.setProperty("zvc_ab", "IN", {7});
  try {
    context.setProperty("zvc_ab", "B", {3});
    FAIL() << "a second zvc_ab was accepted";
  } catch (const ZvException& error) {
    EXPECT_STREQ(error.what(), "Property[zvc_ab] already exist!");
    EXPECT_EQ(error.function(), "setProperty");
  }
  ASSERT_EQ(context.getEventProperties(7).size(), 1u);
  EXPECT_EQ(*context.getEventProperties(7)[0].value, "IN");
  EXPECT_TRUE(context.getEventProperties(3).empty());
}

TEST(ContextProperties, AnOverflowingKindKeepsTheEarlierKinds) {
  ZvContextProperties context;
  try {
    context.setProperty("p", "v", {3, 15});
    FAIL() << "kind 15 was accepted";
  } catch (const ZvException& error) {
    EXPECT_STREQ(error.what(), "ZvEvent[15] overflow!");
  }
  ASSERT_EQ(context.getEventProperties(3).size(), 1u);
  EXPECT_EQ(context.getEventProperties(3)[0].name, "p");
  EXPECT_EQ(context.getEventProperties(3)[0].type, 3);
  EXPECT_THROW(context.getEventProperties(15), ZvException);
}

TEST(ContextProperties, TheInstallerGroupIsAttachedOnlyWhenValid) {
  using zorvan::analytics::ApplyAbValue;
  struct Case {
    zorvan::analytics::ReportExtras extras;
    bool attached;
  };
  const Case cases[] = {{{{L"AB", L"IN"}}, true},  {{{L"AB", L""}}, false},
                        {{}, false},               {{{L"ab", L"IN"}}, false},
                        {{{L"AB", L"ABCD"}}, false}, {{{L"AB", L"x"}}, false}};
  for (const Case& c : cases) {
    ZvContextProperties context;
    ApplyAbValue(c.extras, {7}, context);
    EXPECT_EQ(context.getEventProperties(7).size(), c.attached ? 1u : 0u);
    EXPECT_TRUE(context.getEventProperties(3).empty());
  }
}

}  // namespace
