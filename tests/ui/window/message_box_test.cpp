// The dialogs' result codes by how they are closed, and their texts.
#include "ui/window/message_box.h"

#include <gtest/gtest.h>

#include "ui/framework/offscreen_host.h"

namespace {

using namespace Installer;

TEST(MessageBox, ResultsByHowTheDialogCloses) {
  struct Case {
    const wchar_t* layout;
    const wchar_t* button;  // nullptr: Alt+F4; "<Escape>": the Escape key; "<Return>": Return
    int result;
  };
  const std::vector<Case> cases = {
      {kExitTip, L"okBtn", 0},         {kExitTip, L"cancelBtn", 1},    {kExitTip, L"closebtn", 2},
      {kNetworkTip, L"okBtn", 0},      {kNetworkTip, L"cancelBtn", 1}, {kInstalledPathTip, L"okBtn", 0},
      {kInstalledPathTip, L"cancelBtn", 1}, {kMessageBox1, L"closebtn", 2}, {kMessageBox2, nullptr, 1},
      // Escape answers as the close button does, in every dialog.
      {kExitTip, L"<Escape>", 2},      {kNetworkTip, L"<Escape>", 2},  {kInstalledPathTip, L"<Escape>", 2},
      {kMessageBox1, L"<Escape>", 2},  {kMessageBox2, L"<Escape>", 2},
      // Return takes the primary (focused) button: "否" of the exit question,
      // "重新安装" and "安装最新版本" of the others, the message boxes' close.
      {kExitTip, L"<Return>", 1},      {kNetworkTip, L"<Return>", 0},  {kInstalledPathTip, L"<Return>", 0},
      {kMessageBox1, L"<Return>", 2},
  };
  for (const Case& c : cases) {
    Ui::OffscreenEnvironment environment;
    CSkinFrame owner(L"MainWnd.xml");
    ASSERT_TRUE(owner.Create(environment, nullptr));
    environment.SetIdleHandler([&](Ui::Window& top) {
      if (&top == &owner) return false;
      Ui::OffscreenHost* host = environment.HostOf(top);
      EXPECT_FALSE(top.IsClosed());
      const std::wstring button = c.button != nullptr ? c.button : L"";
      if (c.button == nullptr) {
        host->KeyDown(Ui::Key::kF4, {.alt = true});
      } else if (button == L"<Escape>") {
        host->KeyDown(Ui::Key::kEscape);
      } else if (button == L"<Return>") {
        host->KeyDown(Ui::Key::kReturn);
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
