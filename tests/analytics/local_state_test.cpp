#include "analytics/local_state.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "analytics/config_file.h"
#include "analytics/sdk/file_path.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using namespace zorvan::analytics;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }
const std::string kSep(1, static_cast<char>(Utils::kPathSeparator));

class LocalStateTest : public ::testing::Test {
 protected:
  LocalPathInputs Inputs() const { return {Utf8(dir_.File(L"exe")), Utf8(dir_.File(L"data")), {}, {}}; }
  TestSupport::TempDir dir_;
};

TEST_F(LocalStateTest, FoldersAndFilesFollowTheApplicationName) {
  LocalState state("");
  state.resolvePaths("Talvorin.downloader", Inputs());
  const std::string folder = Utf8(dir_.File(L"data")) + kSep + "ZVLocal" + kSep + "Talvorin.downloader" + kSep;
  EXPECT_EQ(state.folder, folder);
  EXPECT_EQ(state.configFile, folder + "Talvorin.downloader_ZVSConfigure.ini");
  EXPECT_EQ(state.logFilePath, folder + "Talvorin.downloader_ZVSLog.txt");
  EXPECT_EQ(state.stagingFilePath(), folder + "ZVStaging.jsonl");
  EXPECT_TRUE(std::filesystem::is_directory(zv_transport::FilePath(folder)));
}

// "Set.ini" beside the executable (often the Downloads folder) may come from
// anyone, and the installer runs elevated: it may name only an ".ini" file
// inside the user's own application data. Otherwise it is ignored and
// nothing is created where it points.
TEST_F(LocalStateTest, SetIniNamesAConfigurationFileOnlyInsideTheUsersOwnData) {
  ASSERT_TRUE(std::filesystem::create_directories(std::filesystem::path(dir_.File(L"exe"))));
  const std::string user = Utf8(dir_.File(L"user"));
  const std::string outside = Utf8(dir_.File(L"elsewhere"));
  struct Case {
    std::string named;
    bool honoured;
  };
  const Case cases[] = {
      {user + kSep + "deep" + kSep + "a.ini", true},
      {user + kSep + "A.INI", true},
      {outside + kSep + "deep" + kSep + "a.ini", false},
      {user + kSep + "deep" + kSep + "a.txt", false},
      {user + kSep + ".." + kSep + "elsewhere" + kSep + "a.ini", false},
      {user + "-twin" + kSep + "a.ini", false},
      {"relative" + kSep + "a.ini", false},
      {user, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    EXPECT_EQ(IsAcceptableConfigOverride(c.named, user), c.honoured);
    ASSERT_TRUE(TestSupport::WriteFileBytes(dir_.File(L"exe") + Utils::kPathSeparator + L"Set.ini",
                                            "[Install]\r\nZVAnalyticsIni=" + c.named + "\r\n"));
    LocalPathInputs inputs = Inputs();
    inputs.userDataFolder = user;
    LocalState state("");
    state.resolvePaths("App", inputs);
    if (c.honoured) {
      EXPECT_EQ(state.configFile, c.named);
      EXPECT_EQ(state.folder, FolderOfPath(c.named) + kSep);
    } else {
      EXPECT_EQ(state.configFile, Utf8(dir_.File(L"data")) + kSep + "ZVLocal" + kSep + "App" + kSep +
                                      "App_ZVSConfigure.ini");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir_.File(L"elsewhere"))));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir_.File(L"relative"))));
#ifdef _WIN32
  EXPECT_TRUE(IsAcceptableConfigOverride("C:/Users/Me/AppData/Local/x/a.ini", "c:\\users\\me\\appdata\\local"));
#endif
}

// Without a per-user data folder the state goes to the temporary folder,
// never to a folder relative to the working directory.
TEST_F(LocalStateTest, WithoutADataFolderTheStateGoesToTheTemporaryFolder) {
  const TestSupport::TempDir temp;
  const TestSupport::ScopedEnvironmentVariable tmpdir("TMPDIR", Utf8(temp.path()));
  const TestSupport::ScopedEnvironmentVariable tmp("TMP", Utf8(temp.path()));
  const TestSupport::ScopedEnvironmentVariable temp2("TEMP", Utf8(temp.path()));
  LocalState state("");
  state.resolvePaths("App", LocalPathInputs{Utf8(dir_.File(L"exe")), "", {}, {}});
  const std::string base = Utf8(temp.path());
  ASSERT_EQ(state.folder.compare(0, base.size(), base), 0) << state.folder;
  EXPECT_TRUE(std::filesystem::path(zv_transport::FilePath(state.folder)).is_absolute());
  EXPECT_EQ(state.configFile, state.folder + "App_ZVSConfigure.ini");
  state.load();
  EXPECT_EQ(ReadConfigValue(state.configFile, "Base", "DistinctId"), state.distinctId);
}

TEST_F(LocalStateTest, AFirstRunMakesAnIdentityTheNextRunKeeps) {
  LocalState first("");
  first.resolvePaths("App", Inputs());
  first.load();
  EXPECT_TRUE(std::regex_match(first.distinctId,
                               std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
      << first.distinctId;
  EXPECT_EQ(ReadConfigValue(first.configFile, "Base", "DistinctId"), first.distinctId);
  EXPECT_EQ(ReadConfigValue(first.configFile, "Base", "PrimaryDistinctId"), "");
  EXPECT_EQ(ReadConfigValue(first.configFile, "Base", "isLogined"), "NG");

  LocalState second("");
  second.resolvePaths("App", Inputs());
  second.load();
  EXPECT_EQ(second.distinctId, first.distinctId);
  EXPECT_EQ(second.primaryDistinctId, first.distinctId);
}

TEST_F(LocalStateTest, AnotherServerForgetsTheUserButKeepsThePrimaryIdentity) {
  LocalState state("");
  state.resolvePaths("App", Inputs());
  state.load();
  state.checkIdentity("https://one.example/collect");
  state.userId = "user-7";
  state.loggedIn = true;
  state.distinctId = "user-7";
  state.save();
  const std::string primary = state.primaryDistinctId;

  LocalState same("");
  same.resolvePaths("App", Inputs());
  same.load();
  same.checkIdentity("https://one.example/collect");
  EXPECT_TRUE(same.loggedIn);
  EXPECT_EQ(same.userId, "user-7");

  LocalState other("");
  other.resolvePaths("App", Inputs());
  other.load();
  other.checkIdentity("https://two.example/collect");
  EXPECT_FALSE(other.loggedIn);
  EXPECT_EQ(other.userId, "");
  EXPECT_EQ(other.distinctId, primary);
  EXPECT_EQ(ReadConfigValue(other.configFile, "Base", "URL"), "https://two.example/collect");
  EXPECT_EQ(ReadConfigValue(other.configFile, "Base", "isLogined"), "NG");
}

TEST(ConfigFile, KeysAreSetInPlaceAndOtherLinesKept) {
  const std::string text = "; note\r\n[Base]\r\nDistinctId=old\r\n\r\n[local]\r\nCity=X\r\n";
  EXPECT_EQ(SetConfigValueInText(text, "base", "distinctid", "new"),
            "; note\r\n[Base]\r\ndistinctid=new\r\n\r\n[local]\r\nCity=X\r\n");
  EXPECT_EQ(SetConfigValueInText(text, "Base", "URL", "u"),
            "; note\r\n[Base]\r\nDistinctId=old\r\nURL=u\r\n\r\n[local]\r\nCity=X\r\n");
  EXPECT_EQ(SetConfigValueInText(text, "UninstallInfo", "AppName", "A"),
            text + "[UninstallInfo]\r\nAppName=A\r\n");
  EXPECT_EQ(SetConfigValueInText("", "Base", "K", "v"), "[Base]\r\nK=v\r\n");
}

TEST(ConfigFile, AServersTextIsReadBackAsWrittenAndStartsNoKeysOfItsOwn) {
  TestSupport::TempDir dir;
  const std::string file = Utf8(dir.File(L"c.ini"));
  ASSERT_TRUE(WriteConfigValues(file, "Base", {{"DistinctId", "abc"}}));
  // A location reply's texts as the lookup took them.
  ASSERT_TRUE(WriteConfigValues(file, "Local",
                                {{"City", "x\r\n[Base]\r\nDistinctId=other"},
                                 {"province", "  Bayern "},
                                 {"country", "\"quoted\""},
                                 {"AssistIP", "'"},
                                 {"countryCode", "D\rE\r"}}));
  EXPECT_EQ(ReadConfigValue(file, "Base", "DistinctId"), "abc");
  EXPECT_EQ(ReadConfigValue(file, "Local", "City"), "x\r [Base]\r DistinctId=other");
  EXPECT_EQ(ReadConfigValue(file, "Local", "province"), "  Bayern ");
  EXPECT_EQ(ReadConfigValue(file, "Local", "country"), "\"quoted\"");
  EXPECT_EQ(ReadConfigValue(file, "Local", "AssistIP"), "'");
  EXPECT_EQ(ReadConfigValue(file, "Local", "countryCode"), "D\rE\r");
}

TEST(ConfigFile, TheWriterFindsTheSectionsTheReaderFinds) {
  TestSupport::TempDir dir;
  const std::string file = Utf8(dir.File(L"c.ini"));
  // The reader takes the name up to the last "]": "base]se", not "Base".
  std::ofstream(zv_transport::FilePath(file), std::ios::binary) << "[base]se]\r\nDistinctId=x\r\n[Base\r\n";
  ASSERT_TRUE(WriteConfigValues(file, "Base", {{"DistinctId", "new"}}));
  EXPECT_EQ(ReadConfigValue(file, "Base", "DistinctId"), "new");
  EXPECT_EQ(ReadConfigValue(file, "base]se", "DistinctId"), "x");
}

TEST_F(LocalStateTest, AZeroByteInTheFileHidesNoKeyBehindIt) {
  LocalState state("");
  state.resolvePaths("Talvorin.downloader", Inputs());
  std::ofstream(zv_transport::FilePath(state.configFile), std::ios::binary)
      << std::string("[Base]\r\nNote=a\0b\r\nUserId=u7\r\n", 29);
  state.load();
  EXPECT_EQ(state.userId, "u7");
  const std::string made = state.distinctId;
  LocalState next("");
  next.resolvePaths("Talvorin.downloader", Inputs());
  next.load();
  EXPECT_EQ(next.distinctId, made);
}

TEST(ConfigFile, ValuesReadBackAreCutAt127Bytes) {
  TestSupport::TempDir dir;
  const std::string file = Utf8(dir.File(L"c.ini"));
  ASSERT_TRUE(WriteConfigValues(file, "Base", {{"Long", std::string(200, 'v')}, {"Short", "s"}}));
  EXPECT_EQ(ReadConfigValue(file, "Base", "Long"), std::string(127, 'v'));
  EXPECT_EQ(ReadConfigValue(file, "BASE", "short"), "s");
  EXPECT_EQ(ReadConfigValue(file, "Base", "Missing"), "");
}

// The identity file is replaced whole (never left empty or half written),
// a value never spills into a second line, and a byte-order mark an editor
// put in front of the first section neither hides it nor is lost.
TEST(ConfigFile, WritesAreWholeOneLinePerValueAndKeepAByteOrderMark) {
  TestSupport::TempDir dir;
  const std::string file = Utf8(dir.File(L"c.ini"));
  ASSERT_TRUE(TestSupport::WriteFileBytes(dir.File(L"c.ini"), "\xEF\xBB\xBF[Base]\r\nDistinctId=KEEP-ME\r\n"));
  EXPECT_EQ(ReadConfigValue(file, "Base", "DistinctId"), "KEEP-ME");
  ASSERT_TRUE(WriteConfigValues(file, "Base", {{"UserId", "a\r\n[Base]\nDistinctId=evil"}}));
  EXPECT_EQ(TestSupport::ReadFileBytes(dir.File(L"c.ini")),
            "\xEF\xBB\xBF[Base]\r\nDistinctId=KEEP-ME\r\nUserId=a\r [Base] DistinctId=evil\r\n");
  // A carriage return alone ends no line for the reader, so it stays.
  EXPECT_EQ(ReadConfigValue(file, "Base", "UserId"), "a\r [Base] DistinctId=evil");
  EXPECT_EQ(ReadConfigValue(file, "Base", "DistinctId"), "KEEP-ME");
  EXPECT_FALSE(Utils::FileExists(dir.File(L"c.ini.new")));

  LocalState state("");
  state.configFile = file;
  state.load();
  EXPECT_EQ(state.distinctId, "KEEP-ME");

  // A folder that cannot hold the file: the write says so.
  EXPECT_FALSE(WriteConfigValues(Utf8(dir.File(L"missing")) + kSep + "c.ini", "Base", {{"K", "v"}}));
}

}  // namespace
