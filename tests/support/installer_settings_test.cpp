#include "support/installer_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/process_info.h"
#include "test_support.h"

namespace {

using Installer::InstallerSettings;

class SettingsFile : public ::testing::Test {
 protected:
  // Settings as the installer builds them when its executable lies in the
  // temporary folder, with `content` as the settings file (none when null).
  InstallerSettings Load(const char* content) {
    if (content != nullptr) {
      EXPECT_TRUE(TestSupport::WriteFileBytes(dir_.File(Installer::kSettingsFileName), content));
    }
    InstallerSettings settings;
    settings.ReadSettingsFile(dir_.File(L"TalvorinInstaller.exe"));
    return settings;
  }
  TestSupport::TempDir dir_;
};

TEST_F(SettingsFile, WithoutAFileTheBuiltInValuesHold) {
  const InstallerSettings settings = Load(nullptr);
  EXPECT_EQ(settings.exeName, L"TalvorinInstaller.exe");
  EXPECT_EQ(settings.downloadUrl, Installer::kBuiltInPackageUrl);
  EXPECT_EQ(settings.downloadType, 1);
  EXPECT_FALSE(settings.isCheckNet);
  EXPECT_TRUE(settings.isEnableAppAnalytics);
  EXPECT_EQ(settings.downloadScale, 0.7);
  EXPECT_EQ(settings.productName, L"Talvorin");
  EXPECT_EQ(settings.productVersion, L"1.7.9");
  EXPECT_EQ(settings.dlAppNameSuffix, L".downloader");
  EXPECT_EQ(settings.abGroupCopy(), L"IN");
  EXPECT_EQ(settings.language, -1);
  EXPECT_TRUE(settings.curlReady);
  EXPECT_FALSE(settings.insNew);
  EXPECT_EQ(settings.caBundle, L"");
}

TEST_F(SettingsFile, AnEmptyInstallSectionTurnsTheNetworkCheckOn) {
  const InstallerSettings settings = Load("[Install]\r\n");
  EXPECT_TRUE(settings.isCheckNet);
  EXPECT_TRUE(settings.isEnableAppAnalytics);
  EXPECT_EQ(settings.downloadUrl, Installer::kBuiltInPackageUrl);
  EXPECT_EQ(settings.downloadType, 1);
  EXPECT_EQ(settings.downloadScale, 0.7);
}

TEST_F(SettingsFile, AFileWithoutTheSectionGivesTheKeyDefaults) {
  const InstallerSettings settings = Load("[Other]\r\nIsCheckNet=false\r\nDownloadType=3\r\n");
  EXPECT_TRUE(settings.isCheckNet);
  EXPECT_EQ(settings.downloadType, 1);
}

TEST_F(SettingsFile, EveryKeyIsRead) {
  const InstallerSettings settings = Load(
      "[install]\n"
      "downloadurl = \"http://127.0.0.1:8080/${ROUTE}/software/456?r=${ROUTE}\"\n"
      "DownloadType=2\n"
      "IsCheckNet=true\n"
      "IsEnableAppAnalytics=false\n"
      "DlAppNameSuffix=.web\n"
      "m_DlAppVersion=2.0\n"
      "DownloadScale=0.5x\n"
      "InstCmd=/lang=de\n"
      "CaBundle=/etc/talvorin/ca.pem\n");
  EXPECT_EQ(settings.downloadUrl,
            L"http://127.0.0.1:8080/download_silent/software/456?r=download_silent");
  EXPECT_EQ(settings.downloadType, 2);
  EXPECT_TRUE(settings.isCheckNet);
  EXPECT_FALSE(settings.isEnableAppAnalytics);
  EXPECT_EQ(settings.dlAppNameSuffix, L".web");
  EXPECT_EQ(settings.dlAppVersion, L"2.0");
  EXPECT_EQ(settings.downloadScale, 0.5);
  EXPECT_EQ(settings.instCmd, L"/lang=de");
  EXPECT_EQ(settings.caBundle, L"/etc/talvorin/ca.pem");
}

TEST_F(SettingsFile, OnlyTheExactWordTrueIsTrue) {
  for (const char* word : {"True", "TRUE", "1", "yes", "true ", ""}) {
    const std::string file = std::string("[Install]\nIsCheckNet=") + word + "\nIsEnableAppAnalytics=" + word + "\n";
    const InstallerSettings settings = Load(file.c_str());
    // Trailing blanks are trimmed by the reader, so "true " reads as "true".
    const bool expected = std::string(word) == "true ";
    EXPECT_EQ(settings.isCheckNet, expected) << word;
    EXPECT_EQ(settings.isEnableAppAnalytics, expected) << word;
  }
}

TEST_F(SettingsFile, EmptyValuesEmptyTheFields) {
  const InstallerSettings settings = Load(
      "[Install]\nDownloadUrl=\nDownloadType=\nIsCheckNet=\nIsEnableAppAnalytics=\n"
      "DlAppNameSuffix=\nDownloadScale=\nInstCmd=\n");
  EXPECT_EQ(settings.downloadUrl, L"");
  EXPECT_EQ(settings.downloadType, 0);
  EXPECT_FALSE(settings.isCheckNet);
  EXPECT_FALSE(settings.isEnableAppAnalytics);
  EXPECT_EQ(settings.dlAppNameSuffix, L"");
  EXPECT_EQ(settings.downloadScale, 0.0);
}

TEST_F(SettingsFile, DownloadScaleTexts) {
  struct Case { const char* text; double expected; };
  const Case cases[] = {
      {"letters", 0.0}, {"0.5x", 0.5}, {"  0.25", 0.25}, {"1", 1.0}, {"0", 0.0},
      // Values the progress bar cannot use fall back to the default share.
      {"nan", 0.7}, {"inf", 0.7}, {"1e999", 0.7}, {"1.5", 0.7}, {"-0.1", 0.7},
  };
  for (const Case& c : cases) {
    const std::string file = std::string("[Install]\nDownloadScale=") + c.text + "\n";
    EXPECT_EQ(Load(file.c_str()).downloadScale, c.expected) << c.text;
  }
}

TEST_F(SettingsFile, ALongUrlIsCutTo259Characters) {
  const std::string url = "http://h/" + std::string(300, 'a');
  const std::string file = "[Install]\nDownloadUrl=" + url + "\n";
  EXPECT_EQ(Load(file.c_str()).downloadUrl.size(), 259u);
}

TEST(Route, ChoiceAndSubstitution) {
  struct Case { std::wstring version; bool os64; std::int32_t product; std::wstring route; };
  const Case cases[] = {
      {L"XP", true, 661, L"download_silent_xp"},
      {L"XP-", false, 661, L"download_silent_xp"},
      {L"XP+", true, 267, L"download_silent_xp"},
      {L"8.1", true, 661, L"download_silent"},
      {L"10", true, 661, L"download_silent"},
      {L"Server 2003 R2", true, 661, L"download_silent"},
      {L"10", true, 267, L"download_silent_64"},
      {L"10", false, 267, L"download_silent"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Installer::ChooseRoute(c.version, c.os64, c.product), c.route) << c.version;
  EXPECT_EQ(Installer::SubstituteRoute(L"http://h/${ROUTE}/x/${ROUTE}", L"download_silent_xp"),
            L"http://h/download_silent_xp/x/download_silent_xp");

  InstallerSettings settings;
  settings.applyDownloadUrl(L"http://h/${ROUTE}/a${ROUTE}");
  EXPECT_EQ(settings.downloadUrl, L"http://h/download_silent/adownload_silent");
}

TEST(ProcessSettings, TheRecordOfThisProcessNamesItsExecutable) {
  const std::wstring exe = std::filesystem::path(Utils::GetExecutablePath()).filename().wstring();
  EXPECT_FALSE(exe.empty());
  EXPECT_EQ(Installer::TheInstallerSettings().exeName, exe);
}

// Settings that cannot be used are said, naming the file and the key; the
// run goes on with the values the rules give.
TEST_F(SettingsFile, UnusableSettingsAreNamed) {
  struct Case {
    const char* content;
    std::vector<std::wstring> keys;  // one problem each, in this order
  };
  const std::vector<Case> cases = {
      {"[Install]\r\nDownloadType=3\r\nIsCheckNet=false\r\nDownloadScale=0.5\r\n", {}},
      {"[Install]\r\nDownloadType=\r\nIsCheckNet=\r\n", {}},
      {"[Other]\r\nIsCheckNet=false\r\n", {L"section [Install]"}},
      {"[Install]\r\nDownloadType=three\r\nIsCheckNet=True\r\nIsEnableAppAnalytics=1\r\n"
       "DownloadScale=0.5x\r\n",
       {L"DownloadType", L"IsCheckNet", L"IsEnableAppAnalytics", L"DownloadScale"}},
      {"[Install]\r\nDownloadScale=7\r\n", {L"DownloadScale"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    const InstallerSettings settings = Load(c.content);
    ASSERT_EQ(settings.settingsProblems.size(), c.keys.size());
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      const std::wstring& problem = settings.settingsProblems[i];
      EXPECT_NE(problem.find(dir_.File(Installer::kSettingsFileName)), std::wstring::npos);
      EXPECT_NE(problem.find(c.keys[i]), std::wstring::npos);
    }
  }
  // What is used instead is what the rules give.
  const InstallerSettings settings = Load("[Install]\r\nDownloadType=three\r\nDownloadScale=7\r\n");
  EXPECT_EQ(settings.downloadType, 0);
  EXPECT_EQ(settings.downloadScale, 0.7);
}

}  // namespace
