// Injected input against the shipped windows: notifications, focus, timers,
// modal runs, posting from other threads, filters, dragging, dirty regions.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ui/framework/button.h"
#include "ui/framework/builder.h"
#include "ui/framework/combo.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/progress.h"

namespace {

using FrameworkTest::SkinWindow;
namespace Key = Ui::Key;
using Ui::OffscreenEnvironment;
using Ui::OffscreenHost;

struct Heard {
  std::wstring type;
  std::wstring sender;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  bool operator==(const Heard&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Heard& h) {
  return out << testing::PrintToString(h.type) << " from " << testing::PrintToString(h.sender) << " "
             << h.wParam << "," << h.lParam;
}

class Recorder : public Ui::INotifyListener {
 public:
  void Notify(const Ui::Notification& n) override {
    heard.push_back({n.type, n.sender != nullptr ? n.sender->Name() : L"", n.wParam, n.lParam});
  }
  std::vector<Heard> heard;
};

// A main window open offscreen with a recorder listening.
struct MainWindow {
  MainWindow() : window(L"MainWnd.xml") {
    EXPECT_TRUE(window.Create(environment, nullptr));
    window.AddNotifier(&recorder);
    host = environment.HostOf(window);
    environment.RunUntilIdle();
  }
  OffscreenEnvironment environment;
  SkinWindow window;
  Recorder recorder;
  OffscreenHost* host = nullptr;
};

TEST(FrameworkInput, CheckBoxClickTogglesAndSendsSelectChanged) {
  MainWindow m;
  FrameworkTest::ShowMainPage(m.window, 1);
  auto* box = m.window.Find<Ui::CheckBox>(L"createDSCb");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->IsSelected());  // "selected" in the layout, without a notification
  m.recorder.heard.clear();
  ASSERT_TRUE(m.host->ClickControl(L"createDSCb"));
  EXPECT_FALSE(box->IsSelected());
  const std::vector<Heard> expected{{L"click", L"createDSCb", 0, 0}, {L"selectchanged", L"createDSCb", 0, 0}};
  EXPECT_EQ(m.recorder.heard, expected);
  ASSERT_TRUE(m.host->ClickControl(L"createDSCb"));
  EXPECT_TRUE(box->IsSelected());
  // Setting the state from code notifies only when asked to.
  m.recorder.heard.clear();
  box->Selected(false, false);
  EXPECT_TRUE(m.recorder.heard.empty());
  box->Selected(true);
  EXPECT_EQ(m.recorder.heard, (std::vector<Heard>{{L"selectchanged", L"createDSCb", 0, 0}}));
}

TEST(FrameworkInput, TabChangeSendsTabSelectOnce) {
  MainWindow m;
  auto* tabs = m.window.Find<Ui::TabLayout>(L"mainTabLt");
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->CurrentSel(), 0);
  m.recorder.heard.clear();
  EXPECT_TRUE(tabs->SelectItem(2));
  EXPECT_TRUE(tabs->SelectItem(2));  // already there: nothing sent
  EXPECT_FALSE(tabs->SelectItem(4));
  EXPECT_EQ(m.recorder.heard, (std::vector<Heard>{{L"tabselect", L"mainTabLt", 2, 0}}));
  EXPECT_TRUE(m.window.FindControl(L"installPrg")->IsShown());
  EXPECT_FALSE(m.window.FindControl(L"defaultInstallBtn")->IsShown());
}

TEST(FrameworkInput, ButtonsClickOnReleaseInsideAndNeverWhenDisabled) {
  MainWindow m;
  Ui::Control* button = m.window.FindControl(L"defaultInstallBtn");
  ASSERT_NE(button, nullptr);
  const Ui::Rect r = button->Position();
  const Ui::Point inside{r.left + 5, r.top + 5};

  m.recorder.heard.clear();
  m.host->MouseMove(inside);
  EXPECT_TRUE(button->IsHot());
  m.host->MouseDown(inside);
  EXPECT_TRUE(button->State() & Ui::kStatePushed);
  m.host->MouseMove({r.right + 30, r.top});  // dragged off: released outside
  m.host->MouseUp({r.right + 30, r.top});
  EXPECT_TRUE(m.recorder.heard.empty());

  m.host->Click(inside);
  EXPECT_EQ(m.recorder.heard, (std::vector<Heard>{{L"click", L"defaultInstallBtn", 0, 0}}));

  m.recorder.heard.clear();
  button->SetEnabled(false);
  m.host->Click(inside);
  button->SetFocus();  // a disabled control takes no focus
  m.host->KeyDown(Key::kReturn);
  m.host->KeyDown(Key::kSpace);
  EXPECT_EQ(m.window.Focused(), nullptr);
  EXPECT_TRUE(m.recorder.heard.empty());

  // Enabled again, the keyboard clicks it while it has the focus.
  button->SetEnabled(true);
  button->SetFocus();
  m.host->KeyDown(Key::kSpace);
  EXPECT_EQ(m.recorder.heard, (std::vector<Heard>{{L"click", L"defaultInstallBtn", 0, 0}}));
}

// A filter that records the messages it sees and takes the ones it is told to.
class Filter : public Ui::IMessageFilter {
 public:
  std::intptr_t MessageHandler(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                               bool& handled) override {
    seen.push_back({message, wParam, lParam});
    handled = message == swallow;
    return 0;
  }
  struct Message {
    std::uint32_t id;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Message&) const = default;
  };
  std::vector<Message> seen;
  std::uint32_t swallow = 0;
};

TEST(FrameworkInput, EscapeIsSwallowedAndCloseRequestsGoThroughFilters) {
  MainWindow m;
  Filter filter;
  m.window.AddMessageFilter(&filter);
  m.window.FindControl(L"defaultInstallBtn")->SetFocus();
  m.recorder.heard.clear();
  m.host->KeyDown(Key::kEscape);
  m.environment.RunUntilIdle();
  EXPECT_FALSE(m.window.IsClosed());
  EXPECT_TRUE(m.recorder.heard.empty());
  ASSERT_FALSE(filter.seen.empty());
  EXPECT_EQ(filter.seen.front(), (Filter::Message{Ui::Message::kKeyDown, Key::kEscape, 0}));

  // A filter that takes the close request keeps the window open (page 2 rule).
  filter.swallow = Ui::Message::kClose;
  m.host->KeyDown(Key::kF4, {.alt = true});
  EXPECT_FALSE(m.window.IsClosed());
  m.window.RemoveMessageFilter(&filter);
  m.host->RequestClose();
  EXPECT_TRUE(m.window.IsClosed());
  EXPECT_EQ(m.window.CloseCode(), 1);
  EXPECT_TRUE(m.host->IsClosed());
}

// A dialog that closes with 0 on "okBtn", 1 on "cancelBtn", 2 on the close button.
class Dialog : public SkinWindow {
 public:
  explicit Dialog(std::wstring layout) : SkinWindow(std::move(layout)) {}
  void OnClick(const Ui::Notification& n) override {
    if (n.sender->Name() == L"okBtn") {
      result = 0;
      Close(0);
    } else if (n.sender->Name() == L"cancelBtn") {
      result = 1;
      Close(1);
    } else {
      SkinWindow::OnClick(n);  // the framework's handling: the close button closes
      result = 2;
    }
  }
  int result = 1;  // kept when closed any other way (Alt+F4)
};

TEST(FrameworkInput, ModalDialogReturnsItsResultWithTheOwnerDisabledMeanwhile) {
  struct Case {
    const wchar_t* layout;
    const wchar_t* click;  // nullptr: Alt+F4
    int result;
  };
  const Case cases[] = {{L"ExitTipWnd.xml", L"okBtn", 0},
                        {L"ExitTipWnd.xml", L"cancelBtn", 1},
                        {L"ExitTipWnd.xml", L"closebtn", 2},
                        {L"NetworkTipWnd.xml", L"okBtn", 0},
                        {L"InstalledPathTipWnd.xml", L"cancelBtn", 1},
                        {L"MessageBox1Wnd.xml", nullptr, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.layout)));
    MainWindow m;
    Dialog dialog(c.layout);
    ASSERT_TRUE(dialog.Create(m.environment, &m.window));
    std::vector<bool> ownerEnabled;
    int escapes = 0;
    m.environment.SetIdleHandler([&](Ui::Window& top) {
      if (&top != &dialog) return false;
      ownerEnabled.push_back(m.window.IsEnabled());
      // The owner ignores input while the dialog runs.
      m.host->ClickControl(L"defaultInstallBtn");
      OffscreenHost* host = m.environment.HostOf(dialog);
      if (escapes++ == 0) {
        host->KeyDown(Key::kEscape);  // does nothing
        return true;
      }
      if (c.click == nullptr) {
        host->KeyDown(Key::kF4, {.alt = true});
      } else {
        EXPECT_TRUE(host->ClickControl(c.click));
      }
      return true;
    });
    dialog.ShowModal();
    EXPECT_TRUE(dialog.IsClosed());
    EXPECT_EQ(dialog.result, c.result);
    EXPECT_EQ(ownerEnabled, (std::vector<bool>{false, false}));
    EXPECT_TRUE(m.window.IsEnabled());
    EXPECT_TRUE(m.recorder.heard.empty());
  }
}

TEST(FrameworkInput, RealClockModalRunWakesForWorkPostedFromAnotherThread) {
  // The network check's path: a worker reports with an asynchronous
  // notification while a modal loop sleeps; the loop wakes, delivers it on
  // its own thread, and the listener ends the run.
  OffscreenEnvironment environment(OffscreenEnvironment::Clock::kRealTime);
  Dialog dialog(L"NetworkTipWnd.xml");
  ASSERT_TRUE(dialog.Create(environment, nullptr));
  struct Closer : Ui::INotifyListener {
    void Notify(const Ui::Notification& n) override {
      if (n.type != L"checknet") return;
      thread = std::this_thread::get_id();
      window->Close(static_cast<int>(n.wParam));
    }
    Ui::Window* window = nullptr;
    std::thread::id thread;
  } closer;
  closer.window = &dialog;
  dialog.AddNotifier(&closer);
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    dialog.SendNotify(dialog.Root(), L"checknet", 7, 0, true);
  });
  EXPECT_EQ(dialog.ShowModal(), 7);
  worker.join();
  EXPECT_EQ(closer.thread, std::this_thread::get_id());
}

TEST(FrameworkInput, ModalRunWithoutProgressIsAbandonedInsteadOfHanging) {
  MainWindow m;
  Dialog dialog(L"MessageBox2Wnd.xml");
  ASSERT_TRUE(dialog.Create(m.environment, &m.window));
  m.environment.SetModalPatience(5000);
  EXPECT_EQ(dialog.ShowModal(), OffscreenEnvironment::kModalAbandoned);
  EXPECT_TRUE(m.window.IsEnabled());
}

TEST(FrameworkInput, TimersFireOnTheirControlAndStopWhenKilled) {
  MainWindow m;
  Ui::Control* root = m.window.Root();
  m.recorder.heard.clear();
  ASSERT_TRUE(root->SetTimer(10, 3000));
  m.environment.AdvanceTime(2999);
  EXPECT_TRUE(m.recorder.heard.empty());
  m.environment.AdvanceTime(1);
  EXPECT_EQ(m.recorder.heard, (std::vector<Heard>{{L"timer", L"winCtn", 10, 0}}));
  m.environment.AdvanceTime(6000);
  EXPECT_EQ(m.recorder.heard.size(), 3u);
  root->KillTimer(10);
  m.environment.AdvanceTime(10000);
  EXPECT_EQ(m.recorder.heard.size(), 3u);

  // The animation on page 2 steps one frame per 24 ms.
  auto* animation = dynamic_cast<FrameworkTest::FrameLabel*>(m.window.FindControl(L"progressAnLb"));
  ASSERT_NE(animation, nullptr);
  const int before = animation->Frame();
  m.environment.AdvanceTime(24 * 5);
  EXPECT_EQ(animation->Frame(), (before + 5) % 25);
}

TEST(FrameworkInput, WorkAndNotificationsPostedFromOtherThreadsRunOnTheWindowThreadInOrder) {
  MainWindow m;
  m.recorder.heard.clear();
  std::vector<int> order;
  const std::thread::id windowThread = std::this_thread::get_id();
  std::atomic<bool> wrongThread{false};
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) {
      m.window.PostTask([&, i] {
        if (std::this_thread::get_id() != windowThread) wrongThread = true;
        order.push_back(i);
      });
    }
    m.window.SendNotify(m.window.Root(), L"checknet", 0x10000, 7, true);
  });
  worker.join();
  EXPECT_TRUE(order.empty());  // nothing runs before the loop does
  m.environment.RunUntilIdle();
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_FALSE(wrongThread);
  EXPECT_EQ(m.recorder.heard, (std::vector<Heard>{{L"checknet", L"winCtn", 0x10000, 7}}));

  // Private messages go to the filters on the window's thread.
  Filter filter;
  m.window.AddMessageFilter(&filter);
  std::thread poster([&] { m.window.PostMessage(Ui::Message::kUser + 200, 1, 2); });
  poster.join();
  m.environment.RunUntilIdle();
  EXPECT_EQ(filter.seen, (std::vector<Filter::Message>{{Ui::Message::kUser + 200, 1, 2}}));
}

TEST(FrameworkInput, AsynchronousNotificationOfAControlDestroyedMeanwhileIsDropped) {
  OffscreenEnvironment environment;
  Ui::Window window(nullptr);
  auto layout = Ui::BuildLayout(R"(<Window size="100,50"><VerticalLayout><Button name="b"/></VerticalLayout></Window>)", nullptr);
  Ui::InstallLayout(window, std::move(*layout.layout));
  ASSERT_TRUE(window.Create(environment, nullptr));
  Recorder recorder;
  window.AddNotifier(&recorder);
  Ui::Control* button = window.FindControl(L"b");
  window.SendNotify(button, L"late", 0, 0, true);
  window.SetRoot(nullptr);  // the tree goes before the loop runs
  environment.RunUntilIdle();
  EXPECT_TRUE(recorder.heard.empty());
}

TEST(FrameworkInput, CaptionStripDragsTheWindowButNotOverItsButtons) {
  MainWindow m;
  const Ui::Point start = m.host->Position();
  EXPECT_TRUE(m.window.IsCaptionAt({300, 10}));
  EXPECT_FALSE(m.window.IsCaptionAt({300, 35}));   // "caption" 0,0,0,35
  EXPECT_FALSE(m.window.IsCaptionAt({570, 20}));   // the close button
  m.host->MouseDown({300, 10});
  m.host->MouseMove({340, 30});
  m.host->MouseUp({340, 30});
  EXPECT_EQ(m.host->Position(), (Ui::Point{start.x + 40, start.y + 20}));
  EXPECT_EQ(m.host->RoundCorner(), (Ui::Size{1, 0}));
  // The title buttons' default handling: minimise, then close with code 1.
  m.recorder.heard.clear();
  m.host->Click({520, 20});
  EXPECT_TRUE(m.host->IsMinimized());
  EXPECT_FALSE(m.window.IsClosed());
  m.host->Click({570, 20});
  EXPECT_EQ(m.recorder.heard,
            (std::vector<Heard>{{L"click", L"minbtn", 0, 0}, {L"click", L"closebtn", 0, 0}}));
  EXPECT_TRUE(m.window.IsClosed());
  EXPECT_EQ(m.window.CloseCode(), 1);
}

TEST(FrameworkInput, ShadowSettingsFromTheLayoutKeepTheirRanges) {
  Ui::WindowAttributes a;
  const std::pair<const wchar_t*, const wchar_t*> attributes[] = {
      {L"showshadow", L"TRUE"}, {L"shadowsize", L"6"},         {L"shadowsharpness", L"25"},
      {L"shadowdarkness", L"20"}, {L"shadowposition", L"1,1"}, {L"shadowcolor", L"#26003B76"}};
  for (auto [name, value] : attributes) Ui::ApplyWindowAttribute(a, name, value);
  EXPECT_TRUE(a.shadow.enabled);
  EXPECT_EQ(a.shadow.size, 6);
  EXPECT_EQ(a.shadow.sharpness, 5);  // 25 is out of range: the default stays
  EXPECT_EQ(a.shadow.darkness, 20);
  EXPECT_EQ(a.shadow.offsetX, 1);
  EXPECT_EQ(a.shadow.offsetY, 1);
  EXPECT_EQ(a.shadow.color, 0x26003B76u);
}

TEST(FrameworkInput, EditTypesSelectsAndUsesTheClipboard) {
  MainWindow m;
  FrameworkTest::ShowMainPage(m.window, 1);
  auto* edit = m.window.Find<Ui::Edit>(L"installDirEdit");
  ASSERT_NE(edit, nullptr);
  edit->SetText(L"C:\\Program Files");
  ASSERT_TRUE(m.host->ClickControl(L"installDirEdit"));
  EXPECT_EQ(m.window.Focused(), edit);
  EXPECT_TRUE(m.host->TextInputActive());
  m.host->KeyDown(Key::kEnd);
  m.host->TypeText(L"\\Talvorin");
  EXPECT_EQ(edit->Text(), L"C:\\Program Files\\Talvorin");
  m.host->KeyDown(Key::kBack);
  m.host->KeyDown(Key::kHome);
  m.host->KeyDown(Key::kDelete);
  EXPECT_EQ(edit->Text(), L":\\Program Files\\Talvori");
  m.host->KeyDown(Key::kRight, {.shift = true});
  m.host->KeyDown(Key::kRight, {.shift = true});
  EXPECT_EQ(edit->SelectedText(), L":\\");
  m.host->KeyDown(Key::kX, {.control = true});
  EXPECT_EQ(m.environment.clipboard, L":\\");
  m.host->TypeText(L"D");
  m.host->KeyDown(Key::kV, {.control = true});
  EXPECT_EQ(edit->Text(), L"D:\\Program Files\\Talvori");
  m.host->KeyDown(Key::kA, {.control = true});
  m.host->KeyDown(Key::kC, {.control = true});
  EXPECT_EQ(m.environment.clipboard, L"D:\\Program Files\\Talvori");
  // Pasted line breaks do not enter a one-line field.
  m.environment.clipboard = L"E:\\a\r\nb";
  m.host->KeyDown(Key::kV, {.control = true});
  EXPECT_EQ(edit->Text(), L"E:\\ab");
  // Dragging the mouse across the text selects it (where text has a width).
  if (m.window.GetFont(0)->HasFace()) {
    const Ui::Rect& r = edit->Position();
    const int middle = (r.top + r.bottom) / 2;
    m.host->MouseDown({r.left + 9, middle});
    EXPECT_EQ(edit->Caret(), 0u);
    m.host->MouseMove({r.right - 10, middle});
    m.host->MouseUp({r.right - 10, middle});
    EXPECT_EQ(edit->SelectedText(), L"E:\\ab");
    m.host->MouseDown({r.left + 9, middle});
    m.host->MouseDown({r.right - 10, middle}, {.shift = true});  // Shift+click extends
    m.host->MouseUp({r.right - 10, middle});
    EXPECT_EQ(edit->SelectedText(), L"E:\\ab");
  }
  // The caret blinks while focused and stops when the focus goes.
  const bool shown = edit->IsCaretShown();
  m.environment.AdvanceTime(Ui::Edit::kCaretBlinkMs);
  EXPECT_NE(edit->IsCaretShown(), shown);
  m.host->KeyDown(Key::kTab);
  EXPECT_NE(m.window.Focused(), edit);
  EXPECT_FALSE(edit->IsCaretShown());
  EXPECT_FALSE(m.host->TextInputActive());
}

TEST(FrameworkInput, ComboSelectsAnItemFromItsList) {
  OffscreenEnvironment environment;
  Ui::Window window(nullptr);
  auto layout = Ui::BuildLayout(
      R"(<Window size="200,200"><VerticalLayout><Combo name="languageCombo" height="24" width="120">)"
      R"(<ListLabelElement text="简体中文"/><ListLabelElement text="English"/></Combo><Control/></VerticalLayout></Window>)",
      nullptr);
  ASSERT_NE(layout.layout, nullptr);
  Ui::InstallLayout(window, std::move(*layout.layout));
  ASSERT_TRUE(window.Create(environment, nullptr));
  Recorder recorder;
  window.AddNotifier(&recorder);
  OffscreenHost* host = environment.HostOf(window);
  auto* combo = window.Find<Ui::Combo>(L"languageCombo");
  ASSERT_NE(combo, nullptr);
  ASSERT_EQ(combo->Count(), 2u);
  host->ClickControl(L"languageCombo");
  EXPECT_TRUE(combo->IsDropped());
  const Ui::Rect list = combo->PopupRect();
  host->Click({list.left + 10, list.top + 1 + 24 + 5});  // the second item
  EXPECT_FALSE(combo->IsDropped());
  EXPECT_EQ(combo->CurrentSel(), 1);
  EXPECT_EQ(combo->Text(), L"English");
  EXPECT_EQ(recorder.heard.back(), (Heard{L"itemselect", L"languageCombo", 1, -1}));
  host->KeyDown(Key::kUp);
  EXPECT_EQ(combo->CurrentSel(), 0);
}

TEST(FrameworkInput, OnlyTheDirtyRegionIsRepainted) {
  MainWindow m;
  m.window.RunPending();
  m.host->TakePresented();
  auto* progress = m.window.Find<Ui::Progress>(L"installPrg");
  FrameworkTest::ShowMainPage(m.window, 2);
  m.environment.RunUntilIdle();
  m.window.FindControl(L"progressAnLb")->KillTimer(FrameworkTest::FrameLabel::kTimerId);
  m.environment.RunUntilIdle();
  m.host->TakePresented();
  progress->SetValue(40);
  EXPECT_EQ(m.window.DirtyRegion(), (std::vector<Ui::Rect>{progress->Position()}));
  m.environment.RunUntilIdle();
  EXPECT_EQ(m.host->TakePresented(), (std::vector<Ui::Rect>{progress->Position()}));
  m.environment.RunUntilIdle();
  EXPECT_TRUE(m.host->TakePresented().empty());  // nothing changed, nothing painted
}

}  // namespace
