#include "analytics/local_state.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "analytics/config_file.h"
#include "analytics/sdk/file_path.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using namespace zorvan::analytics;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }
const std::string kSep(1, static_cast<char>(Utils::kPathSeparator));

class LocalStateTest : public ::testing::Test {
 protected:
  LocalPathInputs Inputs() const { return {Utf8(dir_.File(L"exe")), Utf8(dir_.File(L"data")), {}}; }
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

TEST_F(LocalStateTest, SetIniBesideTheExecutableNamesTheConfigurationFile) {
  const std::string named = Utf8(dir_.File(L"elsewhere")) + kSep + "deep" + kSep + "a.ini";
  ASSERT_TRUE(std::filesystem::create_directories(std::filesystem::path(dir_.File(L"exe"))));
  ASSERT_TRUE(TestSupport::WriteFileBytes(dir_.File(L"exe") + Utils::kPathSeparator + L"Set.ini",
                                          "[Install]\r\nZVAnalyticsIni=" + named + "\r\n"));
  LocalState state("");
  state.resolvePaths("App", Inputs());
  EXPECT_EQ(state.configFile, named);
  EXPECT_EQ(state.folder, Utf8(dir_.File(L"elsewhere")) + kSep + "deep" + kSep);
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(dir_.File(L"elsewhere"))));
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

}  // namespace
