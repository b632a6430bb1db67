#include "support/os_version.h"

#include <gtest/gtest.h>

namespace {

TEST(OsVersion, WindowsVersionNamesFollowTheTable) {
  struct Case { std::uint32_t major, minor, build; bool r2; std::wstring name; };
  const Case cases[] = {
      {4, 0, 1381, false, L"XP-"},  {5, 0, 2195, false, L"2K"},
      {5, 1, 2600, false, L"XP"},   {5, 2, 3790, false, L"Server 2003"},
      {5, 2, 3790, true, L"Server 2003 R2"}, {5, 3, 0, false, L"XP+"},
      {6, 0, 6002, false, L"Vista"}, {6, 1, 7601, false, L"7"},
      {6, 2, 9200, false, L"8"},    {6, 3, 9600, false, L"8.1"},
      {6, 4, 9841, false, L"8.1+"}, {10, 0, 22000, false, L"10"},
      {10, 1, 0, false, L"10+"},    {11, 0, 22000, false, L"11.0.22000"},
      {7, 2, 5, false, L"7.2.5"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utils::WindowsVersionName(c.major, c.minor, c.build, c.r2), c.name)
        << c.major << "." << c.minor;
}

TEST(OsVersion, ThisSystemIsIdentified) {
  std::wstring system = L"x", version = L"x";
  Utils::GetOsVersion(system, version);
#ifdef _WIN32
  EXPECT_EQ(system, L"Windows");
#else
  EXPECT_EQ(system, L"Linux");
#endif
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(version.find(L"XP"), std::wstring::npos);
  // Both builds are 64-bit programs, which run only on 64-bit systems.
  EXPECT_TRUE(Utils::IsOs64Bit());
}

}  // namespace
