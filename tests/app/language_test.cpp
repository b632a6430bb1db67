#include "app/language.h"

#include <gtest/gtest.h>

#include <map>

#include "test_support.h"
#include "ui/skin_package.h"

namespace {

using Installer::InterfaceTexts;

// A skin package holding just the files given.
Installer::SkinFileReader SkinWith(std::map<std::wstring, std::string> files) {
  return [files = std::move(files)](const std::wstring& path) -> std::optional<std::string_view> {
    const auto found = files.find(path);
    if (found == files.end()) return std::nullopt;
    return std::string_view(found->second);
  };
}

const char kTable[] = R"([
  {"id": 104, "en-US": "Not enough disk space", "ja-JP": "ディスク容量が不足しています", "id-ID": "Ruang disk tidak cukup"},
  {"id": 105, "en-US": "Install", "zh-CN": "安装"},
  {"en-US": "no id"},
  "not an object",
  {"id": "106", "en-US": ["not", "a", "string"]}
])";

TEST(Language, SystemLanguageTable) {
  struct Case { std::uint16_t id; int index; };
  const Case cases[] = {
      {1033, 0}, {2052, 0}, {1028, 2}, {1057, 3}, {1055, 4}, {1031, 5}, {1036, 6},
      {1034, 7}, {3082, 7}, {20490, 7}, {1046, 8}, {2070, 0}, {1041, 9}, {1042, 10},
      {1045, 11}, {1043, 12}, {2067, 12}, {1040, 13}, {9999, 0}, {0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Installer::LanguageIndexForSystemLanguage(c.id), c.index) << c.id;
}

TEST(Language, LocaleNamesMapToWindowsLanguageIds) {
  struct Case { const char* locale; std::uint16_t id; };
  const Case cases[] = {
      {"de_DE.UTF-8", 1031}, {"zh_CN.UTF-8", 2052}, {"zh_TW.Big5", 1028}, {"pt_BR", 1046},
      {"ja", 1041}, {"es_AR.UTF-8@euro", 11274}, {"nl_BE@euro", 2067}, {"C", 1033},
      {"POSIX", 1033}, {"C.UTF-8", 1033}, {"xx_YY", 1033}, {"", 1033},
  };
  for (const Case& c : cases) EXPECT_EQ(Installer::LanguageIdFromLocaleName(c.locale), c.id) << c.locale;
}

#ifndef _WIN32
TEST(Language, TheSystemLanguageComesFromTheMessagesLocale) {
  TestSupport::ScopedEnvironmentVariable all("LC_ALL", std::nullopt);
  TestSupport::ScopedEnvironmentVariable messages("LC_MESSAGES", std::nullopt);
  TestSupport::ScopedEnvironmentVariable lang("LANG", "ja_JP.UTF-8");
  EXPECT_EQ(Installer::SystemUiLanguage(), 1041);
  TestSupport::ScopedEnvironmentVariable messagesSet("LC_MESSAGES", "ko_KR.UTF-8");
  EXPECT_EQ(Installer::SystemUiLanguage(), 1042);
  TestSupport::ScopedEnvironmentVariable allSet("LC_ALL", "C");
  EXPECT_EQ(Installer::SystemUiLanguage(), 1033);
}
#endif

TEST(Language, LoadLanguageChoosesTheIndexAndLoadsItsTexts) {
  const auto skin = SkinWith({{L"language.json", kTable}});
  struct Case { int index; std::wstring name; int chosen; std::wstring text104; };
  const Case cases[] = {
      {0, L"", 0, L"Not enough disk space"},
      {0, L"ja-JP", 9, L"ディスク容量が不足しています"},
      {3, L"", 3, L"Ruang disk tidak cukup"},
      {3, L"xx-XX", 3, L"Ruang disk tidak cukup"},
      {99, L"", 0, L"Not enough disk space"},
      {-1, L"", 0, L"Not enough disk space"},
      {5, L"", 5, L""},  // no German member: an empty text
  };
  for (const Case& c : cases) {
    InterfaceTexts texts;
    EXPECT_EQ(Installer::LoadLanguage(c.index, c.name, skin, texts), c.chosen) << c.index;
    EXPECT_EQ(texts.Find(104), c.text104) << c.index;
  }
}

TEST(Language, TableElementsThatAreIncompleteOrOfTheWrongShape) {
  InterfaceTexts texts;
  ASSERT_EQ(Installer::LoadLanguage(0, L"", SkinWith({{L"language.json", kTable}}), texts), 0);
  EXPECT_EQ(texts.Find(105), L"Install");
  EXPECT_EQ(texts.Find(0), L"no id") << "a missing id counts as 0";
  EXPECT_EQ(texts.Find(106), std::nullopt) << "an id written as text is not a number";
  EXPECT_EQ(texts.Size(), 3u);

  // A later load replaces the ids it holds and keeps the others.
  texts.Set(7, L"kept");
  ASSERT_EQ(Installer::LoadLanguage(1, L"", SkinWith({{L"language.json", kTable}}), texts), 1);
  EXPECT_EQ(texts.Find(105), L"安装");
  EXPECT_EQ(texts.Find(104), L"");
  EXPECT_EQ(texts.Find(7), L"kept");
}

TEST(Language, FilesThatAreNotUsed) {
  const std::string valid = R"([{"id": 1, "en-US": "one", "de-DE": "eins"}])";
  std::string padded = valid;
  padded.resize(Installer::kMaxLanguageFileSize, ' ');
  std::string oversized = padded + " ";
  struct Case { const char* what; std::optional<std::string> file; int chosen; bool loaded; };
  const Case cases[] = {
      {"no file (the shipped skin)", std::nullopt, 0, false},
      {"an empty file", std::string(), 0, false},
      {"one byte over 4 MiB", oversized, 0, false},
      {"exactly 4 MiB", padded, 5, true},
      {"not JSON", std::string("[{\"id\": 1, \"de-DE\": "), 5, false},
      {"JSON but not an array", std::string(R"({"id": 1, "de-DE": "eins"})"), 5, false},
  };
  for (const Case& c : cases) {
    std::map<std::wstring, std::string> files;
    if (c.file) files[L"language.json"] = *c.file;
    InterfaceTexts texts;
    texts.Set(1, L"before");
    EXPECT_EQ(Installer::LoadLanguage(5, L"", SkinWith(files), texts), c.chosen) << c.what;
    EXPECT_EQ(texts.Find(1), c.loaded ? L"eins" : L"before") << c.what;
  }
}

TEST(Language, StartingChoiceOfTheComboBox) {
  EXPECT_EQ(Installer::kLanguageNames[Installer::InitialLanguageIndex(3, 2052)], std::wstring(L"id-ID"));
  EXPECT_EQ(Installer::InitialLanguageIndex(-1, 2052), 0);
  EXPECT_EQ(Installer::InitialLanguageIndex(-1, 1041), 9);
  EXPECT_EQ(Installer::InitialLanguageIndex(14, 1031), 5);
}

TEST(Language, AnEarlierInstallationKeepsItsLanguage) {
  TestSupport::TempDir folder;
  EXPECT_EQ(Installer::EarlierInstallationLanguage(folder.path()), L"");
  ASSERT_TRUE(TestSupport::WriteFileBytes(folder.File(L"config.ini"), "[Install]\r\nPath=x\r\n"));
  EXPECT_EQ(Installer::EarlierInstallationLanguage(folder.path()), L"en-US");
  ASSERT_TRUE(TestSupport::WriteFileBytes(folder.File(L"config.ini"), "[Install]\r\nLanguage=ja-JP\r\n"));
  const std::wstring name = Installer::EarlierInstallationLanguage(folder.path());
  EXPECT_EQ(name, L"ja-JP");
  InterfaceTexts texts;
  EXPECT_EQ(Installer::LoadLanguage(0, name, SkinWith({{L"language.json", kTable}}), texts), 9);
}

TEST(Language, TheShippedSkinCarriesNoLanguageTable) {
  InterfaceTexts texts;
  EXPECT_EQ(Installer::LoadLanguage(3, L"ja-JP", &Ui::ReadSkinFile, texts), 0);
  EXPECT_EQ(texts.Size(), 0u);
  // The shipped layouts have no language combo box: the package gets no code.
  ASSERT_NE(Ui::ReadSkinFile(L"mainWnd.xml"), std::nullopt);
  const std::string_view layout = *Ui::ReadSkinFile(L"mainWnd.xml");
  const bool hasCombo = layout.find("\"languageCombo\"") != std::string_view::npos;
  EXPECT_FALSE(hasCombo);
  EXPECT_EQ(Installer::PackageLanguageCode(hasCombo, 0), L"");
}

TEST(Language, PackageLanguageCode) {
  EXPECT_EQ(Installer::PackageLanguageCode(false, 5), L"");
  EXPECT_EQ(Installer::PackageLanguageCode(true, 5), L"de-DE");
  EXPECT_EQ(Installer::PackageLanguageCode(true, 14), L"en-US");
  EXPECT_EQ(Installer::PackageLanguageCode(true, -1), L"en-US");
}

}  // namespace
