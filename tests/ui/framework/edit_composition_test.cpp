// The folder field while a person types through an input method, and with
// characters outside the basic plane: the composition shows at the caret
// until it is committed, and the caret never stops inside a surrogate pair.
#include <gtest/gtest.h>

#include <string>

#include "ui/framework/canvas.h"
#include "ui/framework/edit.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/offscreen_host.h"

namespace {

namespace Key = Ui::Key;

struct CustomPage {
  CustomPage() : window(L"MainWnd.xml") {
    EXPECT_TRUE(window.Create(environment, nullptr));
    FrameworkTest::ShowMainPage(window, 1);
    host = environment.HostOf(window);
    edit = window.Find<Ui::Edit>(L"installDirEdit");
    environment.RunUntilIdle();
    host->ClickControl(L"installDirEdit");
  }
  // The columns of the field that hold dark (text) pixels.
  int InkRight() {
    environment.RunUntilIdle();
    const Ui::Rect r = edit->Position();
    const Ui::Canvas& canvas = *window.GetCanvas();
    int right = -1;
    for (int x = r.left; x < r.right; ++x) {
      for (int y = r.top; y < r.bottom; ++y) {
        const std::uint32_t p = canvas.PixelAt(x, y);
        if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 120) {
          right = x;
          break;
        }
      }
    }
    return right;
  }
  Ui::OffscreenEnvironment environment;
  FrameworkTest::SkinWindow window;
  Ui::OffscreenHost* host = nullptr;
  Ui::Edit* edit = nullptr;
};

TEST(EditComposition, TheComposingTextShowsAtTheCaretUntilItIsCommitted) {
  CustomPage page;
  ASSERT_NE(page.edit, nullptr);
  page.edit->SetText(L"D:\\");
  const int typed = page.InkRight();
  page.window.OnComposition(L"zhong");
  EXPECT_EQ(page.edit->Text(), L"D:\\");
  EXPECT_EQ(page.edit->Composition(), L"zhong");
  EXPECT_GT(page.InkRight(), typed + 20) << "the composition is not shown";
  // Committed: the character takes its place, nothing of the pinyin stays.
  page.host->TypeText(L"中");
  EXPECT_EQ(page.edit->Text(), L"D:\\中");
  EXPECT_EQ(page.edit->Composition(), L"");
  // A composition given up leaves the text as it was.
  page.window.OnComposition(L"wen");
  page.window.OnComposition(L"");
  EXPECT_EQ(page.edit->Text(), L"D:\\中");
  EXPECT_EQ(page.edit->Composition(), L"");
}

TEST(EditComposition, CaretMovesAndDeletesWholeCharactersNeverHalfASurrogatePair) {
  CustomPage page;
  ASSERT_NE(page.edit, nullptr);
  // "a😀b" as UTF-16, as the Windows build holds it.
  const std::wstring text{L'a', wchar_t(0xD83D), wchar_t(0xDE00), L'b'};
  struct Case {
    const char* what;
    std::size_t caret;
    std::vector<int> keys;
    std::wstring textAfter;
    std::size_t caretAfter;
  };
  const Case cases[] = {
      {"Left steps over the pair", 3, {Key::kLeft}, text, 1},
      {"Right steps over the pair", 1, {Key::kRight}, text, 3},
      {"Backspace removes the whole pair", 3, {Key::kBack}, L"ab", 1},
      {"Delete removes the whole pair", 1, {Key::kDelete}, L"ab", 1},
      {"a caret put inside the pair stands before it", 2, {}, text, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    page.edit->SetText(text);
    page.edit->SetSelection(c.caret, c.caret);
    for (int key : c.keys) page.host->KeyDown(key);
    EXPECT_EQ(page.edit->Text(), c.textAfter);
    EXPECT_EQ(page.edit->Caret(), c.caretAfter);
  }
  // A length limit that falls inside a pair keeps the character out whole.
  page.edit->SetAttribute(L"maxchar", L"2");
  page.edit->SetText(text);
  EXPECT_EQ(page.edit->Text(), L"a");
}

}  // namespace
