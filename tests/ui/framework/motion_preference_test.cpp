// The reduced-motion wish: GTK's settings file as the desktop writes it, and
// the program's own switch that decides before the system.
#include "ui/framework/motion_preference.h"

#include <gtest/gtest.h>

#include <string>

#include "support/system_probes.h"
#include "support/text.h"
#include "test_support.h"

namespace {

TEST(MotionPreference, GtkSettingsFileSaysWhetherAnimationsRun) {
  struct Case {
    const char* ini;
    std::optional<bool> enabled;
  };
  const Case cases[] = {
      {"[Settings]\ngtk-enable-animations=false\n", false},
      {"[Settings]\r\ngtk-theme-name=Adwaita\r\ngtk-enable-animations = 0\r\n", false},
      {"[Settings]\ngtk-enable-animations=true\n", true},
      {"# gtk-enable-animations=false\n[Settings]\ngtk-font-name=Sans 10\n", std::nullopt},
      {"[Other]\ngtk-enable-animations=false\n", std::nullopt},
      {"[Settings]\ngtk-enable-animations=false\ngtk-enable-animations=true\n", true},  // the last one counts
      {"[Settings]\ngtk-enable-animations=perhaps\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ui::GtkAnimationsEnabled(c.ini), c.enabled) << c.ini;
  }
}

TEST(MotionPreference, TheProgramsSwitchDecidesBeforeTheSystem) {
  TestSupport::ScopedEnvironmentVariable on("TALVORIN_REDUCED_MOTION", std::string("1"));
  EXPECT_TRUE(Ui::SystemPrefersReducedMotion());
  TestSupport::ScopedEnvironmentVariable off("TALVORIN_REDUCED_MOTION", std::string("0"));
  EXPECT_FALSE(Ui::SystemPrefersReducedMotion());
}

#ifndef _WIN32
TEST(MotionPreference, LinuxReadsTheUsersGtkSettings) {
  TestSupport::TempDir temp;
  TestSupport::ScopedEnvironmentVariable unset("TALVORIN_REDUCED_MOTION", std::nullopt);
  TestSupport::ScopedEnvironmentVariable config("XDG_CONFIG_HOME", Utils::ToNarrow(temp.path(), Utils::kCodePageUtf8));
  EXPECT_FALSE(Ui::SystemPrefersReducedMotion()) << "no settings file: animations run";
  ASSERT_TRUE(Utils::CreateDirectories(temp.File(L"gtk-3.0")));
  ASSERT_TRUE(TestSupport::WriteFileBytes(temp.File(L"gtk-3.0/settings.ini"),
                                          "[Settings]\ngtk-enable-animations=false\n"));
  EXPECT_TRUE(Ui::SystemPrefersReducedMotion());
}
#endif

}  // namespace
