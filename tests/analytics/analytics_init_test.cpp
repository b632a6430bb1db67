#include "analytics/analytics_init.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using zorvan::analytics::TrackerInitParams;
using zorvan::analytics::TrackerParamsFromSettings;

Installer::InstallerSettings Load(const TestSupport::TempDir& dir, const char* content) {
  if (content != nullptr) {
    EXPECT_TRUE(TestSupport::WriteFileBytes(dir.File(Installer::kSettingsFileName), content));
  }
  Installer::InstallerSettings settings;
  settings.ReadSettingsFile(dir.File(L"TalvorinInstaller.exe"));
  return settings;
}

TEST(AnalyticsSettings, ServersAreEmptyByDefault) {
  TestSupport::TempDir dir;
  for (const char* content : {static_cast<const char*>(nullptr), "[Install]\n"}) {
    const TrackerInitParams params = TrackerParamsFromSettings(Load(dir, content));
    EXPECT_EQ(params.serverUrl, "");
    EXPECT_EQ(params.locationServiceUrl, "");
    EXPECT_EQ(params.caBundle, "");
    EXPECT_EQ(params.appName, "Talvorin.downloader");
    EXPECT_EQ(params.appVersion, "1.7.9");
    EXPECT_EQ(params.appStore, "TalvorinInstaller.exe");
    EXPECT_EQ(params.dlAppId, "Talvorin");
    EXPECT_EQ(params.dlAppVersion, "");
    EXPECT_EQ(params.edition, 0);
    EXPECT_FALSE(params.backgroundServices);
  }
}

TEST(AnalyticsSettings, TheSettingsFileNamesTheServersAndTheAuthorities) {
  TestSupport::TempDir dir;
  const TrackerInitParams params = TrackerParamsFromSettings(Load(dir,
      "[Install]\n"
      "AnalyticsServerUrl=https://collect.example/c/x/collect\n"
      "LocationServiceUrl=https://where.example/api/location_and_time\n"
      "CaBundle=/etc/talvorin/ca.pem\n"
      "DlAppNameSuffix=.web\n"
      "m_DlAppVersion=2.0\n"));
  EXPECT_EQ(params.serverUrl, "https://collect.example/c/x/collect");
  EXPECT_EQ(params.locationServiceUrl, "https://where.example/api/location_and_time");
  EXPECT_EQ(params.caBundle, "/etc/talvorin/ca.pem");
  EXPECT_EQ(params.appName, "Talvorin.web");
  EXPECT_EQ(params.dlAppVersion, "2.0");
}

}  // namespace
