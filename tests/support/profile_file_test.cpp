#include "support/profile_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// The same file is read by the system's reader on Windows and by the
// project's own on Linux: both must give the same answers.
const char kFile[] =
    "top=outside any section\r\n"
    "[  other  ]\r\n"
    "Key=other section\r\n"
    "[INSTALL]\r\n"
    "  DownloadUrl  =   http://h/a?x=1=2   \r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='one'\r\n"
    "mismatched=\"left\r\n"
    "lonequote=\"\r\n"
    "empty=\r\n"
    "Number=  42abc\r\n"
    "Negative=-5\r\n"
    "Letters=abc\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "bare\r\n"
    "[Install]\r\n"
    "Later=only the first section of a name counts\r\n";

class ProfileFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(TestSupport::WriteFileBytes(path(), kFile)); }
  std::wstring path() const { return dir_.File(L"settings.ini"); }
  std::wstring Read(const std::wstring& section, const std::wstring& key,
                    const std::wstring& fallback = L"<default>") const {
    return Utils::ReadProfileString(section, key, fallback, path());
  }
  TestSupport::TempDir dir_;
};

TEST_F(ProfileFile, TextValuesFollowThePrivateProfileRules) {
  struct Case { std::wstring section, key, expected; };
  const Case cases[] = {
      {L"install", L"downloadurl", L"http://h/a?x=1=2"},
      {L"Install", L"DOWNLOADURL", L"http://h/a?x=1=2"},
      {L"Install", L"quoted", L"  spaced  "},
      {L"Install", L"single", L"one"},
      {L"Install", L"mismatched", L"\"left"},
      {L"Install", L"lonequote", L"\""},
      {L"Install", L"empty", L""},
      {L"Install", L"Dup", L"first"},
      {L"Install", L"bare", L"<default>"},
      {L"Install", L"Later", L"<default>"},
      {L"Install", L"missing", L"<default>"},
      {L"Other", L"Key", L"other section"},
      {L"Missing", L"Key", L"<default>"},
      {L"Install", L"top", L"<default>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.section, c.key), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(Read(L"Install", L"missing", L"trailing blanks go   "), L"trailing blanks go");
}

TEST_F(ProfileFile, IntegersTakeTheLeadingDigits) {
  struct Case { std::wstring key; int expected; };
  const Case cases[] = {
      {L"Number", 42}, {L"Negative", -5}, {L"Letters", 0}, {L"empty", 0}, {L"missing", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utils::ReadProfileInt(L"Install", c.key, 1, path()), c.expected) << c.key;
}

TEST_F(ProfileFile, LongValuesKeep259Characters) {
  const std::string value(300, 'v');
  ASSERT_TRUE(TestSupport::WriteFileBytes(path(), "[Install]\r\nLong=" + value + "\r\n"));
  EXPECT_EQ(Read(L"Install", L"Long"), std::wstring(259, L'v'));
  EXPECT_EQ(Read(L"Install", L"Missing", std::wstring(300, L'd')), std::wstring(259, L'd'));
}

TEST(ProfileFileMissing, AMissingFileGivesTheDefaults) {
  TestSupport::TempDir dir;
  const std::wstring path = dir.File(L"none.ini");
  EXPECT_EQ(Utils::ReadProfileString(L"Install", L"Key", L"fallback", path), L"fallback");
  EXPECT_EQ(Utils::ReadProfileInt(L"Install", L"Key", 7, path), 7);
  EXPECT_FALSE(Utils::ReadProfileValue(L"Install", L"Key", path).has_value());
}

}  // namespace
