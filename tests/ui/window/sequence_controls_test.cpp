// The installing page's animation on the offscreen host with a hand-driven
// clock: it steps through its frames, unless the person asked the system
// for less animation; then it shows one still frame and runs no timer.
#include "ui/window/sequence_controls.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "test_support.h"
#include "ui/framework/offscreen_host.h"
#include "ui/window/skin_frame.h"

namespace {

TEST(SequenceControls, ReducedMotionShowsOneStillFrameAndRunsNoTimer) {
  struct Case {
    const char* wish;
    bool moves;
  };
  for (const Case& c : {Case{"0", true}, Case{"1", false}}) {
    SCOPED_TRACE(c.wish);
    TestSupport::ScopedEnvironmentVariable wish("TALVORIN_REDUCED_MOTION", std::string(c.wish));
    Ui::OffscreenEnvironment environment(Ui::OffscreenEnvironment::Clock::kManual);
    Installer::CSkinFrame window(L"MainWnd.xml");
    ASSERT_TRUE(window.Create(environment, nullptr));
    EXPECT_EQ(window.ReducedMotion(), !c.moves);
    auto* animation = window.Find<SkinUI::CSequenceLabelUI>(L"progressAnLb");
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(window.HasTimer(animation, SkinUI::kSequenceTimerId), c.moves);

    std::set<std::wstring> frames;
    for (int i = 0; i < 40; ++i) {
      environment.AdvanceTime(static_cast<std::uint64_t>(animation->SequenceSpan()));
      environment.RunUntilIdle();
      if (animation->BkImage()) frames.insert(animation->BkImage()->file);
    }
    if (c.moves) {
      EXPECT_EQ(frames.size(), static_cast<std::size_t>(animation->SequenceCount()));
    } else {
      EXPECT_EQ(frames, (std::set<std::wstring>{SkinUI::FormatFramePath(animation->SequencePattern(), 0)}));
      // Started again (a new installation), it still stands.
      animation->Start();
      EXPECT_FALSE(window.HasTimer(animation, SkinUI::kSequenceTimerId));
    }
  }
}

}  // namespace
