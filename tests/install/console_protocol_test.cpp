#include "install/console_protocol.h"

#include <gtest/gtest.h>

namespace {

using Installer::LineAssembler;

TEST(LineAssemblerTest, JoinsLinesSplitAcrossReadsAndKeepsTheUnfinishedTail) {
  LineAssembler lines;
  lines.Feed("Progress=0.", 11);
  EXPECT_TRUE(lines.TakeLines().empty());
  lines.Feed("5\r\nState=Fa", 12);
  EXPECT_EQ(lines.TakeLines(), (std::vector<std::string>{"Progress=0.5\r"}));
  lines.Feed("il\nInstPath=/x", 14);
  EXPECT_EQ(lines.TakeLines(), (std::vector<std::string>{"State=Fail"}));
  EXPECT_EQ(lines.TakeRest(), "InstPath=/x");
  EXPECT_EQ(lines.TakeRest(), "");
}

TEST(LineAssemblerTest, ReadStopsAtItsFirstZeroByte) {
  LineAssembler lines;
  lines.Feed("State=Success\n\0garbage\n", 23);
  EXPECT_EQ(lines.TakeLines(), (std::vector<std::string>{"State=Success"}));
  EXPECT_EQ(lines.TakeRest(), "");
}

TEST(ProtocolValueTest, TextIsCutAt771CharactersAndNumbersDefaultToZero) {
  const std::wstring longLine = L"Message=" + std::wstring(800, L'x');
  EXPECT_EQ(Installer::ProtocolText(longLine, 8).size(), 771u);
  EXPECT_EQ(Installer::ProtocolText(L"Message=", 8), L"");
  EXPECT_EQ(Installer::ProtocolNumber(L"Progress= 0.25xyz", 9), 0.25);
  EXPECT_EQ(Installer::ProtocolNumber(L"Progress=abc", 9), 0.0);
  EXPECT_EQ(Installer::ProtocolInteger(L"TopShowDetention=-1 ms", 17), -1);
  EXPECT_EQ(Installer::ProtocolInteger(L"TopShowDetention=", 17), 0);
}

TEST(EncodeCodePageTest, NamesNumbersAndFallbacks) {
  struct Case {
    const wchar_t* value;
    bool numbers;
    std::int32_t expected;
  };
  const Case cases[] = {
      {L"UTF8", true, 65001},       {L"ACP", true, 0},         {L"936", true, 936},
      {L" +936abc", true, 936},     {L"-5", true, -5},         {L"utf8", true, 0},
      {L"GBK", true, 0},            {L"", true, 0},            {L"2147483647", true, 2147483647},
      {L"2147483648", true, 0},     {L"-2147483648", true, -2147483647 - 1},
      {L"99999999999999", true, 0}, {L"UTF8", false, 65001},   {L"936", false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Installer::EncodeCodePage(c.value, c.numbers), c.expected) << c.value;
  }
}

}  // namespace
