// What the installing page shows for the orchestrator's notifications, on a
// hand-driven clock: notifications go in as the orchestrator's posted
// messages, the page's text and bar are read back.
#include <gtest/gtest.h>

#include "install/download_installer.h"
#include "support/text.h"
#include "test_support.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/progress.h"
#include "support/installer_settings.h"
#include "ui/window/main_wnd.h"
#include "ui/window/sequence_controls.h"
#include "ui/window/window_driver.h"
#include "ui/skin_package.h"

namespace {

using Installer::CMainWnd;

class ProgressPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The progress texts read here are the Chinese ones.
    Installer::TheInstallerSettings().language = 1;
    ASSERT_TRUE(window.Create(environment, nullptr));
    environment.RunUntilIdle();
  }
  void Post(std::int32_t code, double value, const std::wstring& text = L"") {
    window.PostMessage(WM_INSTALLER_NOTIFY, 0,
                       reinterpret_cast<std::intptr_t>(new NotifyMessage{code, value, text}));
    environment.RunUntilIdle();
  }
  void TearDown() override { Installer::TheInstallerSettings() = saved; }
  std::wstring Text() const { return window.FindControl(L"progressLb")->Text(); }
  int Bar() const { return window.Find<Ui::Progress>(L"installPrg")->Value(); }

  Installer::InstallerSettings saved = Installer::TheInstallerSettings();
  WindowTest::WindowDriver folders;  // keeps records and folders in a folder of the test
  Ui::OffscreenEnvironment environment;
  CMainWnd window{Ui::SkinPackageReader(), folders.RecordsKey()};
};

TEST_F(ProgressPageTest, DownloadThenInstallationProgress) {
  Post(1001, 1.0);
  Post(1002, 0.5);
  EXPECT_EQ(Text(), L"正在安装中:35%，请稍候...");
  EXPECT_EQ(Bar(), 35);
  // After a minute of downloading the text asks for patience.
  environment.AdvanceTime(61000);
  Post(1002, 1.0);
  EXPECT_EQ(Text(), L"正在安装中:70%，请耐心等待...");
  struct Report {
    double fraction;
    int percent;
  };
  for (const Report& r : {Report{0.0, 74}, Report{0.0, 78}, Report{0.5, 85}}) {
    Post(2002, r.fraction);
    EXPECT_EQ(Bar(), r.percent);
    EXPECT_EQ(Text(), L"正在安装中:" + std::to_wstring(r.percent) + L"%，请耐心等待...");
  }
}

TEST_F(ProgressPageTest, TheLabelsOwnTemplateWins) {
  window.FindControl(L"progressLb")->SetUserData(L"下载 %d%% %s %n");
  Post(1001, 1.0);
  Post(1002, 0.25);
  // One number, and nothing else of the template is read as a conversion.
  EXPECT_EQ(Text(), L"下载 17% %s %n");
}

TEST_F(ProgressPageTest, NotificationWithoutRecordIsIgnoredAndUnknownCodesAreFreed) {
  window.PostMessage(WM_INSTALLER_NOTIFY, 0, 0);
  Post(4242, 1.0, L"nobody's");
  Post(3008, -5.0);  // an impossible delay is no delay
  Post(1002, 0.5);
  EXPECT_EQ(Bar(), 35);
  EXPECT_FALSE(window.IsClosed());
}

TEST(SequenceControls, FramePatternsFillOnlyOneNumber) {
  EXPECT_EQ(SkinUI::FormatFramePath(L"res\\a\\%.3d.png", 7), L"res\\a\\007.png");
  EXPECT_EQ(SkinUI::FormatFramePath(L"%d-%d", 4), L"4-%d");
  EXPECT_EQ(SkinUI::FormatFramePath(L"%s%n%05d%%", 12), L"%s%n00012%");
  EXPECT_EQ(SkinUI::FormatFramePath(std::wstring(400, L'x'), 1).size(), 259u);
}

std::vector<int> Frames(SkinUI::FrameSequence& sequence, int ticks) {
  std::vector<int> shown;
  for (int i = 0; i < ticks; ++i) {
    SkinUI::FrameSequence::Step step = sequence.Tick();
    if (step.stop) break;
    if (step.show) shown.push_back(std::stoi(step.path));
  }
  return shown;
}

TEST(SequenceControls, Stepping) {
  struct Case {
    const wchar_t* round;
    const wchar_t* loop;
    std::vector<int> frames;
  };
  const std::vector<Case> cases = {
      {L"true", L"true", {0, 1, 2, 3, 4, 3, 2, 1, 0, 1, 2}},
      {L"false", L"false", {0, 1, 2, 3, 4}},
      {L"false", L"False", {0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0}},
  };
  for (const Case& c : cases) {
    SkinUI::FrameSequence sequence;
    sequence.SetAttribute(L"SequenceBkImage", L"%d");
    sequence.SetAttribute(L"sequencecount", L"5");
    sequence.SetAttribute(L"sequenceround", c.round);
    sequence.SetAttribute(L"sequenceloop", c.loop);
    EXPECT_EQ(Frames(sequence, 11), c.frames);
  }
}

TEST_F(ProgressPageTest, TheInstallingPageAnimatesOnItsTimer) {
  auto* animation = window.Find<SkinUI::CSequenceLabelUI>(L"progressAnLb");
  ASSERT_NE(animation, nullptr);
  EXPECT_EQ(animation->SequenceCount(), 25);
  EXPECT_EQ(animation->SequenceSpan(), 24);
  environment.AdvanceTime(24);
  ASSERT_TRUE(animation->BkImage().has_value());
  const std::wstring first = animation->BkImage()->file;
  const std::wstring prefix = L"res\\mainWnd\\installBtnAnimate\\";
  ASSERT_EQ(first.rfind(prefix, 0), 0u);
  const int frame = std::stoi(first.substr(prefix.size()));
  // One frame every 24 ms, 25 frames, round and round.
  environment.AdvanceTime(24 * 30);
  EXPECT_EQ(animation->BkImage()->file, SkinUI::FormatFramePath(prefix + L"%.3d.png", (frame + 30) % 25));
}

}  // namespace
