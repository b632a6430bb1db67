#include "ui/language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

#include "test_support.h"
#include "support/text.h"
#include "ui/install_progress.h"
#include "ui/skin_package.h"

namespace {

using Installer::InterfaceTexts;

std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

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
      // The Chinese identifiers reach the Chinese texts (PRC and Singapore
      // simplified; Taiwan, Hong Kong and Macao traditional).
      {2052, 1}, {4100, 1}, {1028, 2}, {3076, 2}, {5124, 2},
      {1033, 0}, {1057, 3}, {1055, 4}, {1031, 5}, {1036, 6},
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
  EXPECT_EQ(Installer::InitialLanguageIndex(-1, 2052), 1);
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

TEST(Language, TheShippedTableHasEveryTextInEveryLanguage) {
  // Every number the layouts and the program use, in all fourteen languages.
  std::set<int> wanted;
  for (const wchar_t* layout : {L"mainWnd.xml", L"MessageBox1Wnd.xml", L"MessageBox2Wnd.xml", L"NetworkTipWnd.xml",
                                L"exitTipWnd.xml", L"InstalledPathTipWnd.xml"}) {
    const std::optional<std::string_view> xml = Ui::ReadSkinFile(layout);
    ASSERT_TRUE(xml) << Narrow(layout);
    for (std::size_t at = xml->find("textid=\""); at != std::string_view::npos; at = xml->find("textid=\"", at + 1))
      wanted.insert(std::atoi(std::string(xml->substr(at + 8, 4)).c_str()));
  }
  ASSERT_GE(wanted.size(), 20u) << "the layouts number their texts";
  for (const Installer::TextRef& text : Installer::kWindowTexts) wanted.insert(text.id);
  for (const Installer::TextRef& text : Installer::kConsoleTexts) wanted.insert(text.id);

  for (std::size_t language = 0; language < Installer::kLanguageNames.size(); ++language) {
    const std::string name = Narrow(Installer::kLanguageNames[language]);
    InterfaceTexts texts;
    ASSERT_EQ(Installer::LoadLanguage(static_cast<int>(language), L"", &Ui::ReadSkinFile, texts),
              static_cast<int>(language));
    for (int id : wanted) {
      const std::optional<std::wstring> text = texts.Find(id);
      EXPECT_TRUE(text && !text->empty()) << name << " lacks text " << id;
    }
    // The templates keep exactly their values: one percent for the progress
    // line, the numbered values of the console's messages.
    for (const Installer::TextRef& progress : {Installer::kTextProgressShortWait, Installer::kTextProgressLongWait}) {
      const std::wstring line = Installer::FormatProgressText(texts.Get(progress), 42);
      const std::size_t at = line.find(L"42");
      EXPECT_TRUE(at != std::wstring::npos && line.find(L"42", at + 1) == std::wstring::npos) << name;
      EXPECT_NE(line.find(L'%'), std::wstring::npos) << name << ": the percent sign";
    }
    for (const Installer::TextRef& console : Installer::kConsoleTexts) {
      for (int value = 1; value <= 2; ++value) {
        const std::wstring mark = L"%" + std::to_wstring(value);
        EXPECT_EQ(std::wstring(console.fallback).find(mark) != std::wstring::npos,
                  texts.Get(console).find(mark) != std::wstring::npos)
            << name << " text " << console.id << " and its English original differ in " << Narrow(mark);
      }
    }
  }
  // The combo box lists the languages by their own names; the package gets the chosen one's code.
  EXPECT_EQ(Installer::PackageLanguageCode(true, 9), L"ja-JP");
}

TEST(Language, ProgramTextsFallBackAndFormat) {
  InterfaceTexts texts;
  EXPECT_EQ(texts.Get(Installer::kTextNoSpace), Installer::kTextNoSpace.fallback);
  texts.Set(Installer::kTextNoSpace.id, L"");
  EXPECT_EQ(texts.Get(Installer::kTextNoSpace), Installer::kTextNoSpace.fallback) << "an empty text counts as none";
  texts.Set(Installer::kTextNoSpace.id, L"Kein Platz");
  EXPECT_EQ(texts.Get(Installer::kTextNoSpace), L"Kein Platz");

  struct Case { const wchar_t* pattern; const wchar_t* out; };
  const Case cases[] = {
      {L"%2 in %1", L"b in a"},       // a language may put the values in its own order
      {L"100%% of %1", L"100% of a"},
      {L"%3 %9 %", L"%3 %9 %"},       // a number without a value, a lone sign: left as they are
      {L"%1%1", L"aa"},
  };
  for (const Case& c : cases) EXPECT_EQ(Installer::FormatText(c.pattern, {L"a", L"b"}), c.out) << Narrow(c.pattern);
  // The runner's own failure words reach the user in the interface language.
  texts.Set(Installer::kTextPackageFailed.id, L"Das Installationspaket konnte nicht installieren");
  EXPECT_EQ(Installer::UserFailureText(texts, Installer::kTextPackageFailed.fallback),
            L"Das Installationspaket konnte nicht installieren");
  EXPECT_EQ(Installer::UserFailureText(texts, L"Error=disk full"), L"Error=disk full");
}

TEST(Language, AnEarlierInstallationsLanguageWinsOverTheOthers) {
  EXPECT_EQ(Installer::ChosenLanguageIndex(3, 1031, L"ja-JP"), 9);
  EXPECT_EQ(Installer::ChosenLanguageIndex(3, 1031, L""), 3) << "no earlier language: the command line";
  EXPECT_EQ(Installer::ChosenLanguageIndex(-1, 1031, L"xx-XX"), 5) << "an unknown one: the system's";
}

TEST(Language, PackageLanguageCode) {
  EXPECT_EQ(Installer::PackageLanguageCode(false, 5), L"");
  EXPECT_EQ(Installer::PackageLanguageCode(true, 5), L"de-DE");
  EXPECT_EQ(Installer::PackageLanguageCode(true, 14), L"en-US");
  EXPECT_EQ(Installer::PackageLanguageCode(true, -1), L"en-US");
}

}  // namespace
