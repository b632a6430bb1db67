#include "app/console_platform.h"

#include <gtest/gtest.h>

namespace {

TEST(ConsolePlatform, ADisplayIsThereWhenEitherVariableNamesOne) {
  struct Case {
    const char* x11;
    const char* wayland;
    bool expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, false}, {"", "", false},           {":0", nullptr, true},
      {nullptr, "wayland-0", true}, {"", "wayland-0", true}, {":99", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Installer::DisplayNamed(c.x11, c.wayland), c.expected)
        << (c.x11 ? c.x11 : "(unset)") << " " << (c.wayland ? c.wayland : "(unset)");
  }
}

}  // namespace
