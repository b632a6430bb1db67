// The dialogs' result codes by how they are closed, and their texts.
#include "ui/window/message_box.h"

#include <gtest/gtest.h>

#include "ui/framework/offscreen_host.h"

namespace {

using namespace Installer;

TEST(MessageBox, ResultsByHowTheDialogCloses) {
  struct Case {
    const wchar_t* layout;
    const wchar_t* button;  // nullptr: Alt+F4
    int result;
  };
  const std::vector<Case> cases = {
      {kExitTip, L"okBtn", 0},         {kExitTip, L"cancelBtn", 1},    {kExitTip, L"closebtn", 2},
      {kNetworkTip, L"okBtn", 0},      {kNetworkTip, L"cancelBtn", 1}, {kInstalledPathTip, L"okBtn", 0},
      {kInstalledPathTip, L"cancelBtn", 1}, {kMessageBox1, L"closebtn", 2}, {kMessageBox2, nullptr, 1},
  };
  for (const Case& c : cases) {
    Ui::OffscreenEnvironment environment;
    CSkinFrame owner(L"MainWnd.xml");
    ASSERT_TRUE(owner.Create(environment, nullptr));
    int escapes = 0;
    environment.SetIdleHandler([&](Ui::Window& top) {
      if (&top == &owner) return false;
      Ui::OffscreenHost* host = environment.HostOf(top);
      if (escapes++ == 0) {
        host->KeyDown(Ui::Key::kEscape);  // never closes a dialog
        return true;
      }
      EXPECT_FALSE(top.IsClosed());
      if (c.button == nullptr) {
        host->KeyDown(Ui::Key::kF4, {.alt = true});
      } else {
        EXPECT_TRUE(host->ClickControl(c.button));
      }
      return true;
    });
    EXPECT_EQ(ShowMessageBox(owner, c.layout), c.result) << testing::PrintToString(std::wstring(c.layout));
  }
}

TEST(MessageBox, TextAndCaptionReplaceTheLayouts) {
  Ui::OffscreenEnvironment environment;
  CSkinFrame owner(L"MainWnd.xml");
  ASSERT_TRUE(owner.Create(environment, nullptr));
  std::wstring text, caption;
  environment.SetIdleHandler([&](Ui::Window& top) {
    if (&top == &owner) return false;
    text = top.FindControl(L"textLbl")->Text();
    caption = top.FindControl(L"captionLbl")->Text();
    top.Close(7);
    return true;
  });
  EXPECT_EQ(ShowMessageBox(owner, kMessageBox2, L"无效路径", L"温馨提示"), 1);
  EXPECT_EQ(text, L"无效路径");
  EXPECT_EQ(caption, L"温馨提示");
}

}  // namespace
