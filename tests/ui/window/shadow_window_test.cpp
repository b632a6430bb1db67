// The shadow's setters keep the values inside their ranges and hand each
// accepted change to the host.
#include "ui/window/shadow_window.h"

#include <gtest/gtest.h>

#include "ui/framework/offscreen_host.h"
#include "ui/window/skin_frame.h"

namespace {

TEST(ShadowWindow, AcceptsValuesInRangeOnly) {
  Ui::OffscreenEnvironment environment;
  Installer::CSkinFrame frame(L"MainWnd.xml");
  ASSERT_TRUE(frame.Create(environment, nullptr));
  Ui::OffscreenHost* host = environment.HostOf(frame);
  // The layout's own values: "shadowcolor" "#26003B76" taken with its "#".
  EXPECT_EQ(host->Shadow().color, 0x26003B76u);
  Installer::CShadowWindow shadow(frame);
  const int sharpness = host->Shadow().sharpness;
  EXPECT_FALSE(shadow.SetSharpness(25));
  EXPECT_FALSE(shadow.SetDarkness(256));
  EXPECT_FALSE(shadow.SetSize(-21));
  EXPECT_FALSE(shadow.SetPosition(3, 21));
  EXPECT_EQ(host->Shadow().sharpness, sharpness);
  EXPECT_TRUE(shadow.SetDarkness(200));
  EXPECT_TRUE(shadow.SetPosition(-20, 20));
  EXPECT_EQ(host->Shadow().darkness, 200);
  EXPECT_EQ(host->Shadow().offsetX, -20);
  EXPECT_EQ(host->Shadow().offsetY, 20);
  EXPECT_EQ(host->Shadow().sharpness, sharpness);
}

}  // namespace
