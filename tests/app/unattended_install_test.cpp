// The unattended mode's pieces: the plan, the checks before anything starts
// and the reactions to the orchestrator's notifications.
#include "app/unattended_install.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "install/record_store.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using Installer::InstallerSettings;
using Installer::InstallationRecords;
using TestSupport::ScopedEnvironmentVariable;

const std::wstring kSep(1, Utils::kPathSeparator);
const std::wstring kTestKey = L"Software\\ZorvanSoft\\TalvorinUnattendedTest";

class UnattendedTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
      environment.push_back(std::make_unique<ScopedEnvironmentVariable>(
          name, Utils::ToNarrow(temp.File(Utils::ToWide(name, Utils::kCodePageUtf8)), Utils::kCodePageUtf8)));
    }
#endif
    Installer::DeleteRecordKey(kTestKey);
    records.recordsKey = kTestKey;
  }
  void TearDown() override { Installer::DeleteRecordKey(kTestKey); }

  TestSupport::TempDir temp;
  std::vector<std::unique_ptr<ScopedEnvironmentVariable>> environment;
  InstallationRecords records;
  std::string written;
  Installer::TextSink write = [this](const std::string& text) { written += text; };
};

TEST(UnattendedFreeSpace, AtLeastOneGibibyte) {
  EXPECT_FALSE(Installer::EnoughFreeSpace(0));
  EXPECT_FALSE(Installer::EnoughFreeSpace((1ull << 30) - 1));
  EXPECT_TRUE(Installer::EnoughFreeSpace(1ull << 30));
}

TEST_F(UnattendedTest, ThePlanFollowsTheChosenFolderAndTheEarlierInstallation) {
  const std::wstring old = temp.File(L"Old");
  ASSERT_TRUE(Utils::CreateDirectories(old));
  ASSERT_TRUE(Installer::WriteRecordValue(kTestKey, L"InstallPath", old));
  ASSERT_TRUE(Installer::WriteRecordValue(kTestKey, L"UnInstallEp", old + kSep + L"uninst.ep"));
  struct Case {
    const char* what;
    bool insNew;
    std::wstring chosen;
    std::string overrideValue;
    std::wstring folder;
    std::wstring uninstaller;
  };
  const std::wstring chosen = temp.File(L"Chosen");
  const Case cases[] = {
      {"a chosen folder gets the product's subfolder", false, chosen, "true",
       chosen + kSep + L"Talvorin", old + kSep + L"uninst.ep"},
      {"installing anew goes into the earlier folder", true, chosen, "true", old,
       old + kSep + L"uninst.ep"},
      {"the earlier folder that forbids removal keeps its version", true, L"", "false", old, L""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(TestSupport::WriteFileBytes(old + kSep + L"set.ini",
                                            "[Uninstall]\r\nIsOverride=" + c.overrideValue + "\r\n"));
    InstallerSettings settings;
    settings.insNew = c.insNew;
    settings.silentInstallDir = c.chosen;
    const Installer::InstallPlan plan = Installer::PlanInstallation(settings, records);
    EXPECT_EQ(plan.folder, c.folder) << c.what;
    EXPECT_EQ(plan.previousUninstaller, c.uninstaller) << c.what;
  }
}

TEST_F(UnattendedTest, TheChecksRefuseWithTheirOwnCodes) {
  struct Case {
    const char* what;
    std::wstring folder;
    bool checkNet;
    const char* verdict;
    const char* freeBytes;
    std::optional<int> expected;
    std::string said;
  };
  const Case cases[] = {
      {"a folder no system can hold", temp.File(L"a|b"), false, nullptr, nullptr,
       Installer::kExitInvalidFolder, "The installation folder cannot be created: "},
      {"a file where the folder goes", temp.File(L"file") + kSep + L"T", false, nullptr, nullptr,
       Installer::kExitInvalidFolder, "The installation folder cannot be created: "},
      // Just short of 1 GiB must not read as enough.
      {"a byte short of 1 GiB", temp.File(L"full"), false, nullptr, "1073741823", Installer::kExitNoSpace,
       "Not enough free disk space for the installation: 0.99 GiB free, 1 GiB needed.\n"},
      {"exactly 1 GiB", temp.File(L"room"), false, nullptr, "1073741824", std::nullopt, ""},
      {"no internet", temp.File(L"net"), true, "0x20000", nullptr, Installer::kExitNoNetwork,
       "The network does not reach the internet. Install again when it does.\n"},
      {"the network is not asked unless configured", temp.File(L"quiet"), false, "0x20000", nullptr,
       std::nullopt, ""},
      {"all well", temp.File(L"fine"), true, "0", nullptr, std::nullopt, ""},
  };
  ASSERT_TRUE(TestSupport::WriteFileBytes(temp.File(L"file"), "x"));
  for (const Case& c : cases) {
    ScopedEnvironmentVariable verdict("TALVORIN_NETWORK_VERDICT",
                                      c.verdict ? std::optional<std::string>(c.verdict) : std::nullopt);
    ScopedEnvironmentVariable freeBytes(
        "TALVORIN_FREE_SPACE_BYTES", c.freeBytes ? std::optional<std::string>(c.freeBytes) : std::nullopt);
    InstallerSettings settings;
    settings.insNew = true;  // another test's running product is no concern here
    settings.isCheckNet = c.checkNet;
    written.clear();
    EXPECT_EQ(Installer::CheckBeforeInstall(settings, c.folder, write), c.expected) << c.what;
    EXPECT_EQ(written.rfind(c.said, 0), 0u) << c.what << ": " << written;
    EXPECT_EQ(written.empty(), !c.expected.has_value()) << c.what;
  }
}

TEST_F(UnattendedTest, NotificationsEndInTheirExitCodes) {
  struct Case {
    const char* what;
    std::vector<NotifyMessage> messages;
    int exitCode;
    std::string said;
  };
  const std::wstring folder = temp.File(L"T");
  ASSERT_TRUE(Utils::CreateDirectories(folder));
  const Case cases[] = {
      {"success",
       {{1001, 1, L""}, {1002, 0.5, L""}, {1003, 0, L"LibCurl"}, {2001, 0, L""}, {2002, 0, L""},
        {3000, 0, folder}, {3003, 0, folder + kSep + L"uninst.ep"}, {3009, 0, L"你好"}, {2003, 0, L""}},
       Installer::kExitInstalled,
       "downloading: 0%\ndownloading: 35%\ninstalling: 74%\n你好\ninstalling: 100%\nTalvorin is installed in"},
      {"failed removal", {{5002, 0, L""}, {5005, 0, L"安装包卸载失败"}}, Installer::kExitRemovalFailed,
       "removing the earlier version: 0%\nThe earlier version could not be removed (安装包卸载失败)"},
      {"missing uninstaller", {{5002, 0, L""}, {5004, 1, L"可执行卸载文件不存在"}},
       Installer::kExitRemovalFailed, ""},
      {"failed download", {{1001, 1, L""}, {1004, 22, L"LibCurl|http-status|h.example|503|"}},
       Installer::kExitDownloadFailed,
       "downloading: 0%\nThe download failed: The server h.example answered with HTTP status 503."},
      {"unverified package", {{1001, 1, L""}, {1006, 0, L"curl获取url-md5失败"}, {1004, 0, L"LibCurl"}},
       Installer::kExitDownloadFailed,
       "downloading: 0%\nThe package was not verified: its address carries no digest.\nThe download failed"},
      {"failed package without a message", {{1001, 1, L""}, {1003, 0, L""}, {2001, 0, L""}, {2004, 2, L""}},
       Installer::kExitPackageFailed, "downloading: 0%\nThe installation failed: 安装失败\n"},
  };
  for (const Case& c : cases) {
    written.clear();
    InstallerSettings settings;
    records.installFolder = folder;
    Installer::UnattendedSession session(settings, records, write, false);
    std::optional<int> outcome;
    for (const NotifyMessage& message : c.messages) {
      ASSERT_FALSE(outcome) << c.what << ": ended before " << message.code;
      outcome = session.Handle(message, folder + kSep + L"__Package_Talvorin.exe");
    }
    EXPECT_EQ(outcome, c.exitCode) << c.what;
    EXPECT_EQ(written.rfind(c.said, 0), 0u) << c.what << ":\n" << written;
  }
  // The success wrote the records of the folder the package reported.
  std::wstring recorded;
  EXPECT_TRUE(Installer::ReadRecordValue(kTestKey, L"InstallPath", recorded));
  EXPECT_EQ(recorded, folder);
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"set.ini"));
}

}  // namespace
