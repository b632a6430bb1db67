// The keyboard on its own: where the focus starts, the order Tab visits,
// what Return, Space and Escape do, and the focus ring that shows only while
// someone works with the keyboard. A small two-page layout with a title bar
// shows each rule on its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/framework/button.h"
#include "ui/framework/canvas.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/offscreen_host.h"

namespace {

namespace Key = Ui::Key;

// Title bar (close button) first in the layout, then two pages: a start page
// with a default button, a check box and a link; a form page whose folder
// field starts with the focus and whose install button takes Return.
const std::string kLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="300,200" caption="0,0,0,30" focuscolor="#FFFF00FF" focuswidth="2" focusgap="2">
  <VerticalLayout bkcolor="#FFFFFFFF">
    <HorizontalLayout height="30">
      <Button name="backBtn" width="40" height="24" text="back" />
      <Control />
      <Button name="closebtn" width="24" height="24" />
    </HorizontalLayout>
    <TabLayout name="pages">
      <VerticalLayout>
        <Control height="20" />
        <HorizontalLayout height="40">
          <Control width="20" />
          <Button name="installBtn" width="100" text="install" default="true" />
          <Control />
        </HorizontalLayout>
        <Control height="10" />
        <HorizontalLayout height="20">
          <Control width="20" />
          <CheckBox name="agreeCb" width="80" text="agree" selected="true" />
          <Control width="10" />
          <Button name="moreBtn" width="60" text="more" />
        </HorizontalLayout>
      </VerticalLayout>
      <VerticalLayout>
        <Control height="20" />
        <HorizontalLayout height="30">
          <Control width="20" />
          <Edit name="folderEdit" width="150" initialfocus="true" />
          <Button name="browseBtn" width="50" text="..." />
        </HorizontalLayout>
        <HorizontalLayout height="40">
          <Control width="20" />
          <Button name="goBtn" width="100" text="go" default="true" />
        </HorizontalLayout>
      </VerticalLayout>
    </TabLayout>
  </VerticalLayout>
</Window>)";

class Recorder : public Ui::INotifyListener {
 public:
  void Notify(const Ui::Notification& n) override {
    if (n.type == L"click") clicks.push_back(n.sender != nullptr ? n.sender->Name() : L"");
  }
  std::vector<std::wstring> clicks;
};

// A window of the layout above; `escapeCloses` makes it a dialog whose
// Escape answers as its close button.
class KeyWindow : public FrameworkTest::SkinWindow {
 public:
  explicit KeyWindow(bool escapeCloses)
      : SkinWindow(L"keys.xml", [](const std::wstring& path) -> std::optional<std::string_view> {
          if (path == L"keys.xml") return std::string_view(kLayout);
          return std::nullopt;
        }) {
    SetEscapeClicksClose(escapeCloses);
  }
};

struct Fixture {
  explicit Fixture(bool escapeCloses = false) : window(escapeCloses) {
    EXPECT_TRUE(window.Create(environment, nullptr));
    window.AddNotifier(&recorder);
    host = environment.HostOf(window);
    environment.RunUntilIdle();
  }
  std::wstring Focused() const { return window.Focused() != nullptr ? window.Focused()->Name() : L"(none)"; }
  // Pixels of the ring's colour around a control, as the canvas shows them now.
  int RingPixels(const std::wstring& name) {
    environment.RunUntilIdle();
    const Ui::Control* control = window.FindControl(name);
    const Ui::Canvas* canvas = window.GetCanvas();
    if (control == nullptr || canvas == nullptr) return -1;
    const Ui::Rect ring = window.FocusRingRect(*control);
    int count = 0;
    for (int y = std::max(0, ring.top); y < std::min(canvas->Height(), ring.bottom); ++y) {
      for (int x = std::max(0, ring.left); x < std::min(canvas->Width(), ring.right); ++x) {
        if ((canvas->PixelAt(x, y) & 0xFFFFFF) == 0xFF00FF) ++count;
      }
    }
    return count;
  }
  Ui::OffscreenEnvironment environment;
  KeyWindow window;
  Recorder recorder;
  Ui::OffscreenHost* host = nullptr;
};

TEST(FrameworkKeyboard, FocusStartsOnTheMainActionAndTabReadsThePageThenTheTitleBar) {
  Fixture f;
  EXPECT_EQ(f.Focused(), L"installBtn");

  std::vector<std::wstring> visited;
  for (int i = 0; i < 5; ++i) {
    f.host->KeyDown(Key::kTab);
    visited.push_back(f.Focused());
  }
  EXPECT_EQ(visited, (std::vector<std::wstring>{L"agreeCb", L"moreBtn", L"backBtn", L"closebtn", L"installBtn"}));
  f.host->KeyDown(Key::kTab, {.shift = true});
  EXPECT_EQ(f.Focused(), L"closebtn");

  // Another page shows: its own main action takes the focus; the form page
  // starts in its field.
  auto* pages = f.window.Find<Ui::TabLayout>(L"pages");
  ASSERT_NE(pages, nullptr);
  pages->SelectItem(1);
  EXPECT_EQ(f.Focused(), L"folderEdit");
  pages->SelectItem(0);
  EXPECT_EQ(f.Focused(), L"installBtn");
  EXPECT_TRUE(f.recorder.clicks.empty());
}

TEST(FrameworkKeyboard, ReturnSpaceAndEscapeFollowTheFocusedControl) {
  struct Case {
    const char* what;
    std::wstring focus;
    int key;
    std::vector<std::wstring> clicks;
    bool agreeAfter;
  };
  const Case cases[] = {
      {"Return on a button clicks it", L"moreBtn", Key::kReturn, {L"moreBtn"}, true},
      {"Space on a button clicks it", L"moreBtn", Key::kSpace, {L"moreBtn"}, true},
      {"Space on a check box toggles it", L"agreeCb", Key::kSpace, {L"agreeCb"}, false},
      {"Return on a check box is the default button's", L"agreeCb", Key::kReturn, {L"installBtn"}, true},
      {"Return with the title bar's button focused clicks that one", L"closebtn", Key::kReturn, {L"closebtn"},
       true},
      {"Escape in a window that swallows it does nothing", L"moreBtn", Key::kEscape, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    f.window.FindControl(c.focus)->SetFocus();
    f.host->KeyDown(c.key);
    f.environment.RunUntilIdle();
    EXPECT_EQ(f.recorder.clicks, c.clicks);
    EXPECT_EQ(f.window.Find<Ui::CheckBox>(L"agreeCb")->IsSelected(), c.agreeAfter);
  }
}

TEST(FrameworkKeyboard, ReturnInATextFieldIsTheDefaultButtonsAndTypingStaysInTheField) {
  Fixture f;
  f.window.Find<Ui::TabLayout>(L"pages")->SelectItem(1);
  ASSERT_EQ(f.Focused(), L"folderEdit");
  f.host->TypeText(L"ab ");  // Space is text here, not a click
  f.host->KeyDown(Key::kReturn);
  f.environment.RunUntilIdle();
  EXPECT_EQ(f.window.FindControl(L"folderEdit")->Text(), L"ab ");
  EXPECT_EQ(f.recorder.clicks, (std::vector<std::wstring>{L"goBtn"}));

  // A disabled default button is not activated.
  f.recorder.clicks.clear();
  f.window.FindControl(L"goBtn")->SetEnabled(false);
  f.host->KeyDown(Key::kReturn);
  EXPECT_TRUE(f.recorder.clicks.empty());
}

TEST(FrameworkKeyboard, EscapeInADialogAnswersAsItsCloseButton) {
  Fixture f(/*escapeCloses=*/true);
  f.host->KeyDown(Key::kEscape);
  f.environment.RunUntilIdle();
  EXPECT_EQ(f.recorder.clicks, (std::vector<std::wstring>{L"closebtn"}));
  EXPECT_TRUE(f.window.IsClosed());
}

TEST(FrameworkKeyboard, TheFocusRingShowsFromTheFirstKeyUntilTheMouseIsUsed) {
  Fixture f;
  ASSERT_EQ(f.Focused(), L"installBtn");
  EXPECT_FALSE(f.window.FocusCueShown());
  EXPECT_EQ(f.RingPixels(L"installBtn"), 0) << "the ring shows before any key";

  f.host->KeyDown(Key::kTab);
  ASSERT_EQ(f.Focused(), L"agreeCb");
  EXPECT_TRUE(f.window.FocusCueShown());
  const Ui::Rect ring = f.window.FocusRingRect(*f.window.FindControl(L"agreeCb"));
  // A whole ring two pixels wide, in the layout's colour; the old one is gone.
  EXPECT_GE(f.RingPixels(L"agreeCb"), (ring.Width() + ring.Height()) * 2 * 2 - 64);
  EXPECT_EQ(f.RingPixels(L"installBtn"), 0);

  // A press of the mouse hides it again; the focus itself stays.
  const Ui::Rect more = f.window.FindControl(L"moreBtn")->Position();
  f.host->MouseDown({more.left + 2, more.top + 2});
  f.host->MouseUp({more.left + 2, more.top + 2});
  EXPECT_FALSE(f.window.FocusCueShown());
  EXPECT_EQ(f.RingPixels(L"moreBtn"), 0);
  EXPECT_EQ(f.RingPixels(L"agreeCb"), 0);
}

}  // namespace
