#include "support/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <climits>

namespace {

TEST(Text, TrimStartsWithAndReplaceAll) {
  EXPECT_EQ(Utils::Trim(L" \t\r\n\v\fa b\f\v\n\r\t "), L"a b");
  EXPECT_EQ(Utils::Trim(L"   "), L"");
  EXPECT_TRUE(Utils::StartsWith(L"State=Success", L"State="));
  EXPECT_TRUE(Utils::StartsWith(L"abc", L""));
  EXPECT_FALSE(Utils::StartsWith(L"xState=", L"State="));
  EXPECT_FALSE(Utils::StartsWith(L"ab", L"abc"));

  struct Case { std::wstring text, search, replacement, expected; };
  const Case cases[] = {
      {L"a${ROUTE}b${ROUTE}", L"${ROUTE}", L"r", L"arbr"},
      // Searching again from the front after each replacement:
      {L"aaa", L"aa", L"a", L"a"},
      {L"abc", L"", L"x", L"abc"},
      // A replacement holding the searched text must end, once per occurrence.
      {L"a-b-c", L"-", L"--", L"a--b--c"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utils::ReplaceAll(c.text, c.search, c.replacement), c.expected) << c.text;
}

TEST(Text, UrlEncodeEscapesAllButPrintableAscii) {
  EXPECT_EQ(Utils::UrlEncode(L"/a b/\u00e9"), L"/a+b/%C3%A9");
  const std::wstring printable = L"http://h:8080/p/q?x=1&y=%41~!";
  EXPECT_EQ(Utils::UrlEncode(printable), printable);
  EXPECT_EQ(Utils::UrlEncode(L"\t\u4e2d"), L"%09%E4%B8%AD");
}

TEST(Text, CodePageConversionsRoundTrip) {
  const std::wstring chinese = L"\u4e2d\u6587\u5b89\u88c5";  // 中文安装
  const std::string gbk = "\xD6\xD0\xCE\xC4\xB0\xB2\xD7\xB0";
  EXPECT_EQ(Utils::ToNarrow(chinese, 936), gbk);
  EXPECT_EQ(Utils::ToWide(gbk, 936), chinese);
  EXPECT_EQ(Utils::ToNarrow(chinese, Utils::kCodePageUtf8), "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAE\x89\xE8\xA3\x85");
  EXPECT_EQ(Utils::ToWide("\xE4\xB8\xAD\xE6\x96\x87\xE5\xAE\x89\xE8\xA3\x85", Utils::kCodePageUtf8), chinese);
  EXPECT_EQ(Utils::ToNarrow(L"", 936), "");
  EXPECT_EQ(Utils::ToWide("", Utils::kCodePageUtf8), L"");
  // What the target cannot hold becomes the default character, never a cut.
  EXPECT_EQ(Utils::ToNarrow(L"a\u0e01b", 936), "a?b");
  // ASCII survives the ANSI code page on every system.
  EXPECT_EQ(Utils::ToWide(Utils::ToNarrow(L"C:\\Talvorin\\x.exe", Utils::kCodePageAnsi),
                          Utils::kCodePageAnsi),
            L"C:\\Talvorin\\x.exe");
}

TEST(Text, DecimalConversionsFollowTheConverterRules) {
  struct IntCase { std::wstring text; int expected; };
  const IntCase ints[] = {
      {L"2", 2},           {L"  42abc", 42},       {L"-7", -7},          {L"+8", 8},
      {L"abc", 0},         {L"", 0},               {L"0x10", 0},         {L"2147483647", INT_MAX},
      {L"2147483648", INT_MAX}, {L"99999999999999999999", INT_MAX}, {L"-99999999999999999999", INT_MIN},
  };
  for (const IntCase& c : ints) EXPECT_EQ(Utils::ParseDecimalInt(c.text), c.expected) << c.text;

  struct DoubleCase { std::wstring text; std::optional<double> expected; };
  const DoubleCase doubles[] = {
      {L"0.5x", 0.5}, {L" 0.25", 0.25}, {L"+1", 1.0}, {L"-0.5", -0.5}, {L"1e-1", 0.1},
      {L"abc", std::nullopt}, {L"", std::nullopt}, {L".", std::nullopt}, {L"+-1", std::nullopt},
      {L"1e999", HUGE_VAL}, {L"-1e999", -HUGE_VAL}, {L"1e-999", 0.0},
  };
  for (const DoubleCase& c : doubles) EXPECT_EQ(Utils::ParseDecimalDouble(c.text), c.expected) << c.text;
  const auto nan = Utils::ParseDecimalDouble(L"nan");
  ASSERT_TRUE(nan.has_value());
  EXPECT_TRUE(std::isnan(*nan));
}

}  // namespace
