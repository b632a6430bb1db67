// The Windows host shows a real window (under Wine: on the X display that
// scripts/test-all.sh provides): the screen's pixels are the window's
// picture, the drop shadow stands around it and follows it, and real input
// (SendInput) reaches the controls, drags the window by its caption strip,
// types into an edit, pastes with Ctrl+V and closes it with Alt+F4.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/framework/canvas.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/platform_host.h"
#include "ui/framework/window.h"

namespace {

using namespace std::chrono_literals;

bool UnderWineWithoutDisplay() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) return false;
  char display[64];
  return GetEnvironmentVariableA("DISPLAY", display, sizeof(display)) == 0;
}

class ClickRecorder : public Ui::INotifyListener {
 public:
  void Notify(const Ui::Notification& n) override {
    if (n.type != L"click" || n.sender == nullptr) return;
    std::lock_guard<std::mutex> lock(mutex_);
    clicks_.push_back(n.sender->Name());
  }
  std::vector<std::wstring> Clicks() {
    std::lock_guard<std::mutex> lock(mutex_);
    return clicks_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::wstring> clicks_;
};

template <typename Work>
auto OnWindowThread(Ui::Window& window, Work work) -> decltype(work()) {
  auto promise = std::make_shared<std::promise<decltype(work())>>();
  auto answer = promise->get_future();
  window.PostTask([promise, work] { promise->set_value(work()); });
  if (answer.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "the window's loop did not run posted work";
    std::abort();  // the loop is stuck: nothing else can end this test
  }
  return answer.get();
}

bool WaitFor(Ui::Window& window, const std::function<bool()>& condition) {
  for (int i = 0; i < 250; ++i) {
    if (OnWindowThread(window, condition)) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

struct Picture {
  Ui::Rect screen;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB over black
};

Picture CanvasPicture(Ui::Window& window) {
  return OnWindowThread(window, [&window] {
    window.Paint();
    Picture p;
    p.screen = Ui::ScreenRectOf(window);
    const Ui::Canvas& canvas = *window.GetCanvas();
    for (int i = 0; i < canvas.Width() * canvas.Height(); ++i) {
      const std::uint8_t* px = canvas.Pixels() + static_cast<std::size_t>(i) * 4;
      p.pixels.push_back(static_cast<std::uint32_t>(px[0]) << 16 | static_cast<std::uint32_t>(px[1]) << 8 | px[2]);
    }
    return p;
  });
}

std::vector<std::uint32_t> ScreenPixels(const Ui::Rect& r) {
  std::vector<std::uint32_t> pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = r.Width();
  info.bmiHeader.biHeight = -r.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, r.Width(), r.Height(), screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  for (int i = 0; i < r.Width() * r.Height(); ++i) pixels.push_back(p[i] & 0xFFFFFF);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

void Mouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void MoveTo(int x, int y) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((x * 65535LL + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1));
  input.mi.dy = static_cast<LONG>((y * 65535LL + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
}

void Key(WORD key, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof(input));
}

HWND ShadowOf(HWND owner) {
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[64];
        if (GetClassNameW(hwnd, name, 64) > 0 && std::wstring(name) == L"SkinShadowWnd" &&
            GetWindow(hwnd, GW_OWNER) == s->owner) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Typing reaches a focused edit as text, the clipboard is the system's,
// Ctrl+V pastes it, and timers tick in the host's loop.
void TypingClipboardAndTimersWork(Ui::IHostFactory& factory) {
  FrameworkTest::SkinWindow window(L"mainWnd.xml");
  struct TimerCounter : Ui::INotifyListener {
    std::atomic<int> ticks{0};
    void Notify(const Ui::Notification& n) override {
      if (n.type == L"timer" && n.wParam == 4321) ++ticks;
    }
  } counter;
  window.AddNotifier(&counter);
  ASSERT_TRUE(window.Create(factory, nullptr));
  window.Host()->Center();
  FrameworkTest::ShowMainPage(window, 1);

  std::thread user([&] {
    const Ui::Rect screen = OnWindowThread(window, [&] { return Ui::ScreenRectOf(window); });
    const Ui::Rect edit = OnWindowThread(window, [&] { return window.FindControl(L"installDirEdit")->Position(); });
    MoveTo(screen.left + (edit.left + edit.right) / 2, screen.top + (edit.top + edit.bottom) / 2);
    std::this_thread::sleep_for(100ms);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Mouse(MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(WaitFor(window, [&] {
      return window.Focused() != nullptr && window.Focused()->Name() == L"installDirEdit";
    })) << "a click did not focus the edit";

    for (WORD key : {WORD{'T'}, WORD{'V'}, WORD{'2'}}) {
      Key(key, true);
      Key(key, false);
    }
    EXPECT_TRUE(WaitFor(window, [&] { return window.FindControl(L"installDirEdit")->Text() == L"tv2"; }))
        << "typed keys did not arrive as text";

    EXPECT_EQ(OnWindowThread(window, [&] {
                window.Host()->SetClipboardText(L"安装");
                return window.Host()->ClipboardText();
              }),
              L"安装");
    Key(VK_CONTROL, true);
    Key('V', true);
    Key('V', false);
    Key(VK_CONTROL, false);
    EXPECT_TRUE(WaitFor(window, [&] { return window.FindControl(L"installDirEdit")->Text() == L"tv2安装"; }))
        << "Ctrl+V did not paste the clipboard";

    OnWindowThread(window, [&] { return window.SetTimer(window.Root(), 4321, 30); });
    for (int i = 0; i < 250 && counter.ticks < 5; ++i) std::this_thread::sleep_for(20ms);
    EXPECT_GE(counter.ticks, 5);
    OnWindowThread(window, [&] {
      window.Close(0);
      return true;
    });
  });
  EXPECT_EQ(window.ShowModal(), 0);
  user.join();
}

// One test on purpose: the windows of tests run in parallel would share the
// X display, and the input of one would land in the other.
TEST(Win32Host, ShowsTheWindowWithItsShadowAndTakesRealInput) {
  if (UnderWineWithoutDisplay()) GTEST_SKIP() << "Wine has no X display here (scripts/test-all.sh starts Xvfb)";
  auto factory = Ui::CreatePlatformHostFactory();
  ASSERT_NE(factory, nullptr);
  FrameworkTest::SkinWindow window(L"mainWnd.xml");
  ClickRecorder recorder;
  window.AddNotifier(&recorder);
  ASSERT_TRUE(window.Create(*factory, nullptr));
  window.Host()->Center();

  std::atomic<bool> ended{false};
  std::thread user([&] {
    Picture expected;
    std::vector<std::uint32_t> shown;
    for (int attempt = 0; attempt < 100; ++attempt) {
      expected = CanvasPicture(window);
      shown = ScreenPixels(expected.screen);
      if (shown == expected.pixels) break;
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(expected.screen.Width(), 600);
    EXPECT_EQ(expected.screen.Height(), 400);
    EXPECT_TRUE(shown == expected.pixels) << "the screen does not show the window's picture";

    // The layout asks for a shadow (size 6, sharpness 10, offset 1,1): a
    // layered window 16 pixels wider on each side, moved by the offset.
    HWND hwnd = FindWindowW(L"TalvorinSkinWindow", nullptr);
    HWND shadow = ShadowOf(hwnd);
    ASSERT_NE(shadow, nullptr);
    EXPECT_TRUE(IsWindowVisible(shadow));
    RECT s;
    GetWindowRect(shadow, &s);
    EXPECT_EQ((Ui::Rect{s.left, s.top, s.right, s.bottom}),
              (Ui::Rect{expected.screen.left - 15, expected.screen.top - 15, expected.screen.right + 17,
                        expected.screen.bottom + 17}));

    const Ui::Rect button = OnWindowThread(window, [&] { return window.FindControl(L"customeBtn")->Position(); });
    MoveTo(expected.screen.left + (button.left + button.right) / 2,
           expected.screen.top + (button.top + button.bottom) / 2);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Mouse(MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(WaitFor(window, [&] { return !recorder.Clicks().empty(); }));
    EXPECT_EQ(recorder.Clicks(), std::vector<std::wstring>{L"customeBtn"});

    // Pressing on the caption strip and moving drags the window.
    // Positions go in the same input stream as the buttons, so that each
    // press happens where the pointer was put.
    const POINT grip{expected.screen.left + 300, expected.screen.top + 10};
    MoveTo(grip.x, grip.y);
    std::this_thread::sleep_for(100ms);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    std::this_thread::sleep_for(100ms);
    for (int step = 1; step <= 4; ++step) {
      MoveTo(grip.x + 10 * step, grip.y + 8 * step);
      std::this_thread::sleep_for(50ms);
    }
    Mouse(MOUSEEVENTF_LEFTUP);
    const Ui::Rect moved = expected.screen.Offset(40, 32);
    EXPECT_TRUE(WaitFor(window, [&] { return Ui::ScreenRectOf(window) == moved; }))
        << "the caption strip did not drag the window";
    EXPECT_EQ(recorder.Clicks().size(), 1u);  // the drag was no click
    GetWindowRect(shadow, &s);
    EXPECT_EQ((Ui::Rect{s.left, s.top, s.right, s.bottom}),
              (Ui::Rect{moved.left - 15, moved.top - 15, moved.right + 17, moved.bottom + 17}))
        << "the shadow did not follow the window";

    Key(VK_MENU, true);
    Key(VK_F4, true);
    Key(VK_F4, false);
    Key(VK_MENU, false);
    for (int i = 0; i < 250 && !ended; ++i) std::this_thread::sleep_for(20ms);
    if (!ended) OnWindowThread(window, [&] {
        window.Close(-3);
        return true;
      });
  });
  const int closeCode = window.ShowModal();
  ended = true;
  user.join();
  EXPECT_EQ(closeCode, 1) << "Alt+F4 did not close the window";

  // In the same test: tests running at once would share the display's input.
  TypingClipboardAndTimersWork(*factory);
}


}  // namespace

#endif  // _WIN32
