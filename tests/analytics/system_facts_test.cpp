#include "analytics/system_facts.h"

#include <gtest/gtest.h>

namespace {

using namespace zorvan::analytics;

struct VersionCase {
  std::uint32_t major, minor, build;
  bool is64Bit, serverR2;
  const char* text;
};

TEST(SystemFacts, WindowsVersionTexts) {
  const VersionCase cases[] = {
      {5, 0, 2195, false, false, "2K"},        {5, 1, 2600, false, false, "XP"},
      {5, 2, 3790, true, false, "XP64"},        {5, 2, 3790, false, true, "Server 2003 R2"},
      {5, 2, 3790, false, false, "Server 2003"}, {5, 3, 0, false, false, "XP+"},
      {6, 0, 6002, true, false, "Vista64"},     {6, 0, 6002, false, false, "Vista"},
      {6, 1, 7601, true, false, "7"},           {6, 1, 7601, false, false, "7-32"},
      {6, 2, 9200, true, false, "8"},           {6, 2, 9200, false, false, "8-32"},
      {6, 3, 9600, false, false, "8.1"},        {6, 4, 0, true, false, "8.1+"},
      {10, 0, 19045, true, false, "10"},        {10, 0, 22000, true, false, "11"},
      {10, 1, 0, true, false, "11+"},           {11, 0, 26000, true, false, "11.0.26000"},
      {4, 0, 1381, false, false, "XP-"},        {0, 0, 0, false, false, "XP-"}};
  for (const VersionCase& c : cases) {
    EXPECT_EQ(AnalyticsWindowsVersion(c.major, c.minor, c.build, c.is64Bit, c.serverR2), c.text)
        << c.major << "." << c.minor << "." << c.build;
  }
}

TEST(SystemFacts, UserAgentNamesSystemAndWordSize) {
#ifdef _WIN32
  EXPECT_EQ(UserAgentText({"Windows", "10", true}), "Mozilla/5.0(Windows 10; Win64;)");
  EXPECT_EQ(UserAgentText({"Windows", "7-32", false}), "Mozilla/5.0(Windows 7-32; Win32;)");
#else
  EXPECT_EQ(UserAgentText({"Linux", "6.1.0", true}), "Mozilla/5.0(Linux 6.1.0; Linux64;)");
#endif
}

TEST(SystemFacts, DistinctIdsAreUpperCaseGuids) {
  const unsigned char bytes[16] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                                   0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  EXPECT_EQ(FormatDistinctId(bytes), "12345678-9ABC-DEF0-0123-456789ABCDEF");
  EXPECT_NE(NewDistinctId(), NewDistinctId());
}

TEST(SystemFacts, StoredLocaleTextsSplitAtTheFirstUnderscore) {
  LocaleParts parts;
  ASSERT_TRUE(SplitLocaleText("zh_CN", parts));
  EXPECT_EQ(parts.language, "zh");
  EXPECT_EQ(parts.country, "CN");
  ASSERT_TRUE(SplitLocaleText("sr_Latn_RS", parts));
  EXPECT_EQ(parts.country, "Latn_RS");
  EXPECT_FALSE(SplitLocaleText("en", parts));
}

}  // namespace
