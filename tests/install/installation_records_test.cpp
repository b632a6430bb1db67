#include "install/installation_records.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/installer_settings.h"
#include "install/profile_writer.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/profile_file.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using Installer::InstallationRecords;

const std::wstring kSep(1, Utils::kPathSeparator);

// A record store of the test's own: a key of its own on Windows, a
// configuration folder of its own on Linux; both removed afterwards.
class RecordsTest : public ::testing::Test {
 protected:
  RecordsTest()
      : config("XDG_CONFIG_HOME", Utils::ToNarrow(temp.File(L"config"), Utils::kCodePageAnsi)),
        data("XDG_DATA_HOME", Utils::ToNarrow(temp.File(L"data"), Utils::kCodePageAnsi)),
        appData("APPDATA", Utils::ToNarrow(temp.File(L"data"), Utils::kCodePageAnsi)),
        key(L"Software\\ZorvanSoft\\TalvorinTest" + std::to_wstring(Utils::CurrentProcessId())) {
    records.recordsKey = key;
  }
  ~RecordsTest() override { Installer::DeleteRecordKey(key); }

  // A folder that looks like an installation: it holds "uninst.ep".
  std::wstring Installation(const std::wstring& name) {
    const std::wstring folder = temp.File(name);
    Utils::CreateDirectories(folder);
    TestSupport::WriteFileBytes(folder + kSep + L"uninst.ep", "u");
    return folder;
  }

  TestSupport::TempDir temp;
  TestSupport::ScopedEnvironmentVariable config;
  TestSupport::ScopedEnvironmentVariable data;
  TestSupport::ScopedEnvironmentVariable appData;
  std::wstring key;
  InstallationRecords records;
};

TEST_F(RecordsTest, StoreReadsWhatItWroteAndLeavesTheStringAloneOtherwise) {
  std::wstring value = L"unchanged";
  EXPECT_FALSE(Installer::ReadRecordValue(key, L"InstallPath", value));
  EXPECT_EQ(value, L"unchanged");
  for (const wchar_t* text : {L"C:\\Program Files (x86)\\Talvorin", L" blank at both ends ",
                              L"\"quoted\"", L"文件夹", L""}) {
    ASSERT_TRUE(Installer::WriteRecordValue(key, L"InstallPath", text)) << text;
    EXPECT_TRUE(Installer::ReadRecordValue(key, L"InstallPath", value)) << text;
    EXPECT_EQ(value, text);
  }
  EXPECT_FALSE(Installer::ReadRecordValue(key, L"UnInstallEp", value));
}

TEST_F(RecordsTest, ReadFallsBackToTheFoldersUninstaller) {
  records.Read();
  EXPECT_EQ(records.recordedFolder, L"");
  EXPECT_EQ(records.recordedUninstaller, L"");
  Installer::WriteRecordValue(key, L"InstallPath", L"D:\\T");
  records.Read();
  EXPECT_EQ(records.recordedFolder, L"D:\\T");
  EXPECT_EQ(records.recordedUninstaller, L"D:\\T" + kSep + L"uninst.ep");
  Installer::WriteRecordValue(key, L"UnInstallEp", L"D:\\T\\other.ep");
  records.Read();
  EXPECT_EQ(records.recordedUninstaller, L"D:\\T\\other.ep");
}

TEST(DefaultInstallFolderTest, Rules) {
  struct Case {
    const wchar_t* recorded;
    bool uninstallerExists;
    bool adminAct;
    bool authorizationAct;
    std::optional<std::wstring> appData;
    const wchar_t* programFilesX86;
    std::wstring expected;
  };
  const std::wstring talvorin = kSep + L"Talvorin";
  const Case cases[] = {
      {L"R", true, false, false, L"A", L"X", L"R"},
      {L"R", false, false, false, L"A", L"X", L"X" + talvorin},
      {L"", true, true, true, L"A", L"X", L"A" + kSep + L"brenmoor" + talvorin},
      {L"", false, true, false, L"A", L"X", L"X" + talvorin},
      {L"", false, false, true, L"A", L"X", L"X" + talvorin},
      {L"", false, true, true, std::nullopt, L"X", L"X" + talvorin},
      {L"", false, false, false, L"A", L"", L"P" + talvorin},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Installer::ChooseDefaultInstallFolder(c.recorded, c.uninstallerExists, c.adminAct,
                                                    c.authorizationAct, c.appData, c.programFilesX86, L"P"),
              c.expected);
  }
}

TEST_F(RecordsTest, CustomFolderGetsTheProductsSubfolderUnlessItIsTheDefault) {
  records.recordedFolder = Installation(L"Recorded");
  records.recordedUninstaller = records.recordedFolder + kSep + L"uninst.ep";
  EXPECT_EQ(records.DefaultInstallFolder(), records.recordedFolder);
  EXPECT_TRUE(records.IsDefaultFolder(records.recordedFolder + kSep));
  EXPECT_EQ(records.CustomInstallFolder(records.recordedFolder + kSep), records.recordedFolder);
  EXPECT_EQ(records.CustomInstallFolder(temp.File(L"Mine")), temp.File(L"Mine") + kSep + L"Talvorin");
#ifdef _WIN32
  EXPECT_EQ(records.CustomInstallFolder(L"D:/Apps/Mine"), L"D:\\Apps\\Mine\\Talvorin");
#endif
}

TEST_F(RecordsTest, OverrideRuleKeepsOnlyForTheExactFalseInTheRecordedFolder) {
  const std::wstring folder = Installation(L"Recorded");
  records.recordedFolder = folder;
  const std::wstring setIni = folder + kSep + L"set.ini";
  struct Case {
    const char* file;
    std::wstring chosen;
    bool keeps;
  };
  const Case cases[] = {
      {"[Uninstall]\nIsOverride=false\n", folder, true},
      {"[Uninstall]\nIsOverride=false\n", folder + kSep + L"." + kSep, true},
      {"[uninstall]\n isoverride = false \n", folder, true},
      {"[Uninstall]\nIsOverride=False\n", folder, false},
      {"[Uninstall]\nIsOverride=true\n", folder, false},
      {"[Install]\nAppName=Talvorin\n", folder, false},
      {"[Uninstall]\nIsOverride=false\n", temp.File(L"Elsewhere"), false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(TestSupport::WriteFileBytes(setIni, c.file));
    EXPECT_EQ(records.KeepsEarlierInstallation(c.chosen), c.keeps) << c.file;
  }
}

TEST_F(RecordsTest, RecordsAfterASuccess) {
  const std::wstring folder = Installation(L"Installed");
  records.installFolder = folder;
  records.WriteRecords();
  records.Read();
  EXPECT_EQ(records.recordedFolder, folder);
  EXPECT_EQ(records.recordedUninstaller, folder + kSep + L"uninst.ep");

  // A reported uninstaller that does not exist leaves the earlier value.
  records.reportedUninstaller = folder + kSep + L"missing.ep";
  records.installFolder = temp.File(L"Other");
  records.WriteRecords();
  records.Read();
  EXPECT_EQ(records.recordedFolder, temp.File(L"Other"));
  EXPECT_EQ(records.recordedUninstaller, folder + kSep + L"uninst.ep");
}

// Written at 2001 into the chosen folder and again at 2003, each time with a
// new device id; the product's own keys stay.
TEST_F(RecordsTest, SettingsFileAndAnalyticsFile) {
  const std::wstring folder = Installation(L"Installed");
  const std::wstring setIni = folder + kSep + L"set.ini";
  ASSERT_TRUE(TestSupport::WriteFileBytes(setIni, "[Uninstall]\nIsOverride=false\n"));
  records.installFolder = folder;
  records.WriteInstallSettingsFile();
  const std::wstring firstId = Utils::ReadProfileString(L"Install", L"DeviceID", L"", setIni);
  records.WriteInstallSettingsFile();
  const std::wstring secondId = Utils::ReadProfileString(L"Install", L"DeviceID", L"", setIni);

  EXPECT_EQ(Utils::ReadProfileString(L"Install", L"APPStore", L"", setIni),
            Installer::TheInstallerSettings().exeName);
  EXPECT_EQ(Utils::ReadProfileString(L"Install", L"AppName", L"", setIni), L"Talvorin");
  EXPECT_EQ(firstId.size(), 32u);
  EXPECT_NE(firstId, secondId);
  EXPECT_EQ(Utils::ReadProfileString(L"Uninstall", L"IsOverride", L"", setIni), L"false");
  const std::wstring analytics =
      temp.File(L"data") + kSep + L"ZorvanData" + kSep + L"Talvorin" + kSep + L"ZVAnalytics.ini";
  EXPECT_EQ(Utils::ReadProfileString(L"Install", L"ZVAnalyticsIni", L"", setIni), analytics);
  const std::wstring time = Utils::ReadProfileString(L"Init", L"UpdateTime", L"", analytics);
  EXPECT_TRUE(std::regex_match(Utils::ToNarrow(time, Utils::kCodePageUtf8),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
      << Utils::ToNarrow(time, Utils::kCodePageUtf8);
}

TEST(SetProfileValueTest, ReplacesAddsAndQuotesWhereNeeded) {
  struct Case {
    const wchar_t* before;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    const wchar_t* after;
  };
  const Case cases[] = {
      {L"", L"Install", L"AppName", L"Talvorin", L"[Install]\nAppName=Talvorin\n"},
      {L"[install]\r\nappname = Old\r\nX=1\r\n", L"Install", L"AppName", L"New",
       L"[install]\nAppName=New\nX=1\n"},
      {L"[Uninstall]\nIsOverride=false\n\n[Other]\nA=1\n", L"Uninstall", L"K", L"v",
       L"[Uninstall]\nIsOverride=false\nK=v\n\n[Other]\nA=1\n"},
      {L"[A]\nB=1\n", L"C", L"D", L" padded ", L"[A]\nB=1\n[C]\nD=\" padded \"\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Installer::SetProfileValue(c.before, c.section, c.key, c.value), c.after) << c.before;
  }
}

}  // namespace
