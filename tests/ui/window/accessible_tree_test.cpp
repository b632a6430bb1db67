// The window as a screen reader sees it: the shipped skin's pages and
// dialogs, each exposed control with its role, name, states and value; what
// an assistive technology may do to them; and the changes it hears of.
#include "ui/framework/accessible_tree.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/text.h"
#include "ui/framework/button.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/progress.h"
#include "ui/window/message_box.h"
#include "ui/window/skin_frame.h"

namespace {

using Ui::AccessibleChange;
using Ui::AccessibleRole;

std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

// "role:name" of each exposed control, in order.
std::vector<std::string> Outline(const Ui::Window& window) {
  std::vector<std::string> out;
  for (Ui::Control* control : Ui::AccessibleControls(window)) {
    const auto node = Ui::DescribeControl(*control);
    out.push_back(std::string(Ui::AccessibleRoleName(node->role)) + ":" + Narrow(node->name));
  }
  return out;
}

struct Heard {
  Ui::Control* control;
  AccessibleChange change;
};

class Recorder : public Ui::IAccessibleObserver {
 public:
  void AccessibleChanged(Ui::Control* control, AccessibleChange change) override { heard.push_back({control, change}); }
  bool Has(const Ui::Control* control, AccessibleChange change) const {
    for (const Heard& h : heard) {
      if (h.control == control && h.change == change) return true;
    }
    return false;
  }
  std::vector<Heard> heard;
};

class AccessibleTreeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.Create(environment_, nullptr)); environment_.RunUntilIdle(); }
  void ShowPage(int page) {
    window_.Find<Ui::TabLayout>(L"mainTabLt")->SelectItem(page);
    window_.Find<Ui::TabLayout>(L"titleTabLt")->SelectItem(page == 1 ? 1 : 0);
    environment_.RunUntilIdle();
  }

  Ui::OffscreenEnvironment environment_;
  Installer::CSkinFrame window_{L"MainWnd.xml"};
};

TEST_F(AccessibleTreeTest, EachPageShowsItsControlsByRoleAndName) {
  // The image-only controls are named by "accname"; the backgrounds, the
  // animation and the finished page's tick are not read at all.
  const std::map<int, std::vector<std::string>> expected = {
      {0, {"label:语言", "combo box:语言", "button:最小化", "button:关闭", "image:Talvorin", "button:立即安装",
           "button:自定义安装"}},
      {1, {"button:返回", "label:语言", "combo box:语言", "button:最小化", "button:关闭", "image:Talvorin",
           "label:安装路径：", "editable text:安装路径：", "button:浏览", "label:其他选项：", "check box:创建桌面快捷方式",
           "check box:添加到快速启动栏", "button:立即安装"}},
      {2, {"label:语言", "combo box:语言", "button:最小化", "button:关闭", "label:正在安装中:0%，请稍候...",
           "progress bar:安装进度"}},
      {3, {"label:语言", "combo box:语言", "button:最小化", "button:关闭", "label:安装完成", "button:立即体验"}},
  };
  for (const auto& [page, outline] : expected) {
    ShowPage(page);
    EXPECT_EQ(Outline(window_), outline) << "page " << page;
  }
}

TEST_F(AccessibleTreeTest, StatesValuesAndTheWindowItself) {
  ShowPage(1);
  auto* edit = window_.Find<Ui::Edit>(L"installDirEdit");
  edit->SetText(L"/home/ada/Talvorin");
  window_.Find<Ui::CheckBox>(L"createQSCb")->Selected(false);
  environment_.RunUntilIdle();

  const auto field = Ui::DescribeControl(*edit);
  EXPECT_EQ(field->value, L"/home/ada/Talvorin");
  EXPECT_TRUE(field->states.focused);  // the custom page opens on its folder field
  EXPECT_TRUE(field->states.focusable);
  EXPECT_EQ(field->bounds, edit->Position());
  const auto desktop = Ui::DescribeControl(*window_.FindControl(L"createDSCb"));
  const auto quickLaunch = Ui::DescribeControl(*window_.FindControl(L"createQSCb"));
  EXPECT_TRUE(desktop->states.checkable && desktop->states.checked);
  EXPECT_TRUE(quickLaunch->states.checkable && !quickLaunch->states.checked);
  EXPECT_EQ(desktop->action, Ui::AccessibleAction::kToggle);
  EXPECT_EQ(Ui::DescribeControl(*window_.FindControl(L"customeInstallBtn"))->action, Ui::AccessibleAction::kPress);

  window_.FindControl(L"chDirBtn")->SetEnabled(false);
  EXPECT_FALSE(Ui::DescribeControl(*window_.FindControl(L"chDirBtn"))->states.enabled);

  ShowPage(2);
  window_.Find<Ui::Progress>(L"installPrg")->SetValue(42);
  const auto progress = Ui::DescribeControl(*window_.FindControl(L"installPrg"));
  ASSERT_TRUE(progress->range.has_value());
  EXPECT_EQ(progress->range->value, 42);
  EXPECT_EQ(progress->range->minimum, 0);
  EXPECT_EQ(progress->range->maximum, 100);
  // Hidden with its page: no longer exposed, however asked.
  ShowPage(0);
  EXPECT_FALSE(Ui::PerformAccessibleAction(*window_.FindControl(L"customeInstallBtn")));

  window_.SetTitle(L"Talvorin");
  const Ui::AccessibleNode self = Ui::DescribeWindow(window_);
  EXPECT_EQ(self.role, AccessibleRole::kWindow);
  EXPECT_EQ(self.name, L"Talvorin");
  EXPECT_TRUE(self.description.empty());
}

TEST_F(AccessibleTreeTest, ActionsRunAsTheirClicksAndOnlyWhereAPersonCouldAct) {
  ShowPage(1);
  std::vector<std::wstring> clicks;
  struct Listener : Ui::INotifyListener {
    std::vector<std::wstring>* out;
    void Notify(const Ui::Notification& n) override {
      if (n.type == L"click" || n.type == L"textchanged") out->push_back(n.type + L" " + n.sender->Name());
    }
  } listener;
  listener.out = &clicks;
  window_.AddNotifier(&listener);

  auto* box = window_.Find<Ui::CheckBox>(L"createDSCb");
  ASSERT_TRUE(Ui::PerformAccessibleAction(*box));
  EXPECT_TRUE(box->IsSelected()) << "the work runs in the window's loop, not inside the request";
  environment_.RunUntilIdle();
  EXPECT_FALSE(box->IsSelected());

  auto* edit = window_.Find<Ui::Edit>(L"installDirEdit");
  ASSERT_TRUE(Ui::SetAccessibleValue(*edit, L"/opt/Tal\nvorin"));
  environment_.RunUntilIdle();
  EXPECT_EQ(edit->Text(), L"/opt/Talvorin");  // as typed: no line break in one line
  EXPECT_FALSE(Ui::SetAccessibleValue(*box, L"x")) << "a check box has no text value";
  EXPECT_FALSE(Ui::PerformAccessibleAction(*edit)) << "an edit has no press";

  ASSERT_TRUE(Ui::FocusAccessible(*window_.FindControl(L"chDirBtn")));
  environment_.RunUntilIdle();
  EXPECT_EQ(window_.Focused(), window_.FindControl(L"chDirBtn"));

  // Disabled, or in a window a modal dialog holds: refused.
  Ui::Control* install = window_.FindControl(L"customeInstallBtn");
  install->SetEnabled(false);
  EXPECT_FALSE(Ui::PerformAccessibleAction(*install));
  install->SetEnabled(true);
  window_.SetEnabled(false);
  EXPECT_FALSE(Ui::PerformAccessibleAction(*install));
  EXPECT_FALSE(Ui::SetAccessibleValue(*edit, L"/elsewhere"));
  window_.SetEnabled(true);
  ASSERT_TRUE(Ui::PerformAccessibleAction(*install));
  environment_.RunUntilIdle();
  window_.RemoveNotifier(&listener);
  EXPECT_EQ(clicks, (std::vector<std::wstring>{L"click createDSCb", L"textchanged installDirEdit",
                                               L"click customeInstallBtn"}));
}

TEST_F(AccessibleTreeTest, ObserversHearFocusTextValueStateAndPageChanges) {
  Recorder recorder;
  window_.AddAccessibleObserver(&recorder);
  window_.OnKeyDown(Ui::Key::kTab, {});
  EXPECT_TRUE(recorder.Has(window_.Focused(), AccessibleChange::kFocus));

  ShowPage(1);
  Ui::Control* customPage = window_.Find<Ui::TabLayout>(L"mainTabLt")->ItemAt(1);
  EXPECT_TRUE(recorder.Has(customPage, AccessibleChange::kStructure));
  EXPECT_TRUE(recorder.Has(window_.FindControl(L"installDirEdit"), AccessibleChange::kFocus));
  window_.Find<Ui::CheckBox>(L"createQSCb")->Selected(false);
  EXPECT_TRUE(recorder.Has(window_.FindControl(L"createQSCb"), AccessibleChange::kState));
  window_.FindControl(L"installDirEdit")->SetText(L"/srv");
  EXPECT_TRUE(recorder.Has(window_.FindControl(L"installDirEdit"), AccessibleChange::kText));

  ShowPage(2);
  window_.Find<Ui::Progress>(L"installPrg")->SetValue(10);
  window_.FindControl(L"progressLb")->SetText(L"正在安装中:10%，请稍候...");
  EXPECT_TRUE(recorder.Has(window_.FindControl(L"installPrg"), AccessibleChange::kValue));
  EXPECT_TRUE(recorder.Has(window_.FindControl(L"progressLb"), AccessibleChange::kText));

  // A language change renames the image-only buttons from the text source.
  window_.SetTextSource([](int id) -> std::optional<std::wstring> {
    if (id == 30) return L"Close";
    return std::nullopt;
  });
  window_.Translate();
  EXPECT_EQ(Ui::DescribeControl(*window_.FindControl(L"closebtn"))->name, L"Close");
  EXPECT_EQ(Ui::DescribeControl(*window_.FindControl(L"minbtn"))->name, L"最小化");
  EXPECT_TRUE(recorder.Has(window_.FindControl(L"closebtn"), AccessibleChange::kText));
  window_.RemoveAccessibleObserver(&recorder);
}

TEST_F(AccessibleTreeTest, ADialogIsAnnouncedWithItsMessageOnceItIsInPlace) {
  Recorder recorder;
  Ui::AccessibleNode announced;
  std::vector<std::string> outline;
  struct DialogWatcher : Ui::IAccessibleObserver {
    Ui::Window* dialog = nullptr;
    Ui::AccessibleNode* announced = nullptr;
    std::vector<std::string>* outline = nullptr;
    void AccessibleChanged(Ui::Control* control, AccessibleChange change) override {
      if (control == nullptr && change == AccessibleChange::kShown) {
        *announced = Ui::DescribeWindow(*dialog);
        *outline = Outline(*dialog);
      }
    }
  } watcher;
  watcher.announced = &announced;
  watcher.outline = &outline;
  bool watching = false;
  environment_.SetIdleHandler([&](Ui::Window& top) {
    if (&top == &window_) return false;
    if (!watching) {
      // Too late to hear it here: the dialog has already shown. The check
      // is that the announcement came after its text was set, so it is read
      // from the first idle round's state.
      watching = true;
      watcher.dialog = &top;
      announced = Ui::DescribeWindow(top);
      outline = Outline(top);
      EXPECT_TRUE(Ui::PerformAccessibleAction(*top.FindControl(L"cancelBtn")));
      EXPECT_FALSE(Ui::PerformAccessibleAction(*window_.FindControl(L"closebtn")))
          << "the owner takes no input while its dialog is open";
      return true;
    }
    return false;
  });
  EXPECT_EQ(Installer::ShowMessageBox(window_, Installer::kExitTip, L"确定要退出安装吗？"), Installer::kDialogCancel);
  EXPECT_EQ(announced.role, AccessibleRole::kDialog);
  EXPECT_EQ(announced.description, L"确定要退出安装吗？");
  ASSERT_FALSE(outline.empty());
  EXPECT_EQ(outline.back().rfind("button:", 0), 0u);
  for (const std::string& entry : outline) EXPECT_NE(entry.back(), ':') << "nameless " << entry;
}

TEST(AccessibleWindow, ShownIsHeardAfterTheOpenersFirstWorkAndClosedOnClose) {
  Ui::OffscreenEnvironment environment;
  Installer::CSkinFrame dialog(Installer::kMessageBox1);
  Installer::CSkinFrame owner(L"MainWnd.xml");
  ASSERT_TRUE(owner.Create(environment, nullptr));
  std::wstring messageWhenShown = L"(not heard)";
  struct Watcher : Ui::IAccessibleObserver {
    Ui::Window* window;
    std::wstring* message;
    bool closed = false;
    void AccessibleChanged(Ui::Control* control, AccessibleChange change) override {
      if (control == nullptr && change == AccessibleChange::kShown) *message = Ui::DescribeWindow(*window).description;
      if (control == nullptr && change == AccessibleChange::kClosed) closed = true;
    }
  } watcher;
  watcher.window = &dialog;
  watcher.message = &messageWhenShown;
  dialog.AddAccessibleObserver(&watcher);
  ASSERT_TRUE(dialog.Create(environment, &owner));
  EXPECT_EQ(messageWhenShown, L"(not heard)") << "not from inside Create";
  dialog.FindControl(L"textLbl")->SetText(L"安装失败");
  environment.RunUntilIdle();
  EXPECT_EQ(messageWhenShown, L"安装失败");
  EXPECT_EQ(Ui::DescribeWindow(dialog).role, AccessibleRole::kDialog);
  dialog.Close(2);
  EXPECT_TRUE(watcher.closed);
  dialog.RemoveAccessibleObserver(&watcher);
}

}  // namespace
