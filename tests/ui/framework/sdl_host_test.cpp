// The Linux host shows a real window on a private X server (Xvfb): the
// screen's pixels are the window's picture, and real X input (XTest) reaches
// the controls, drags the window by its caption strip and closes it (Alt+F4).
#ifndef _WIN32

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "test_support.h"
#include "ui/framework/canvas.h"
#include "ui/framework/platform_host.h"
#include "ui/framework/window.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/xvfb_display.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;

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

// Runs `work` on the window's thread (through the loop's posted work, which
// also shows that a worker thread can wake the loop) and waits for its answer.
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

// Polls `condition` on the window's thread until it holds (X input arrives
// asynchronously); false after five seconds.
bool WaitFor(Ui::Window& window, const std::function<bool()>& condition) {
  for (int i = 0; i < 250; ++i) {
    if (OnWindowThread(window, condition)) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

struct Picture {
  Ui::Rect screen;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB over black, as a 24-bit screen shows them
};

Picture CanvasPicture(Ui::Window& window) {
  return OnWindowThread(window, [&window] {
    window.Paint();
    Picture p;
    p.screen = Ui::ScreenRectOf(window);
    const Ui::Canvas& canvas = *window.GetCanvas();
    for (int y = 0; y < canvas.Height(); ++y) {
      for (int x = 0; x < canvas.Width(); ++x) {
        const std::uint8_t* px = canvas.Pixels() + (static_cast<std::size_t>(y) * canvas.Width() + x) * 4;
        p.pixels.push_back(static_cast<std::uint32_t>(px[0]) << 16 | static_cast<std::uint32_t>(px[1]) << 8 | px[2]);
      }
    }
    return p;
  });
}

std::vector<std::uint32_t> ScreenPixels(Display* display, const Ui::Rect& r) {
  std::vector<std::uint32_t> pixels;
  XImage* image = XGetImage(display, DefaultRootWindow(display), r.left, r.top, static_cast<unsigned>(r.Width()),
                            static_cast<unsigned>(r.Height()), AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < r.Height(); ++y) {
    for (int x = 0; x < r.Width(); ++x) pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
  }
  XDestroyImage(image);
  return pixels;
}

void ClickAt(Display* display, Ui::Point screen) {
  XTestFakeMotionEvent(display, -1, screen.x, screen.y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
}

TEST(SdlHost, ShowsTheWindowOnTheScreenAndTakesRealInput) {
  TestSupport::XvfbDisplay xvfb;
  ASSERT_FALSE(xvfb.Name().empty()) << "Xvfb did not start";
  TestSupport::ScopedEnvironmentVariable display("DISPLAY", xvfb.Name());
  TestSupport::ScopedEnvironmentVariable driver("SDL_VIDEODRIVER", std::string("x11"));
  Display* x = XOpenDisplay(xvfb.Name().c_str());
  ASSERT_NE(x, nullptr);
  auto factory = Ui::CreatePlatformHostFactory();
  ASSERT_NE(factory, nullptr);

  FrameworkTest::SkinWindow window(L"mainWnd.xml");
  ClickRecorder recorder;
  window.AddNotifier(&recorder);
  ASSERT_TRUE(window.Create(*factory, nullptr));
  window.Host()->Center();

  int closeCode = -2;
  std::atomic<bool> ended{false};
  std::thread user([&] {
    // The picture on the screen is the window's canvas, pixel for pixel.
    Picture expected;
    std::vector<std::uint32_t> shown;
    for (int attempt = 0; attempt < 100; ++attempt) {
      expected = CanvasPicture(window);
      shown = ScreenPixels(x, expected.screen);
      if (shown == expected.pixels) break;
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(expected.screen, (Ui::Rect{212, 184, 812, 584}));  // centred on the 1024 × 768 screen
    EXPECT_TRUE(shown == expected.pixels) << "the screen does not show the window's picture";

    // A real click on a button reaches it as a "click".
    const Ui::Rect button = OnWindowThread(window, [&] { return window.FindControl(L"customeBtn")->Position(); });
    ClickAt(x, {expected.screen.left + (button.left + button.right) / 2,
                expected.screen.top + (button.top + button.bottom) / 2});
    EXPECT_TRUE(WaitFor(window, [&] { return !recorder.Clicks().empty(); }));
    EXPECT_EQ(recorder.Clicks(), std::vector<std::wstring>{L"customeBtn"});

    // Pressing on the caption strip and moving drags the window.
    const Ui::Point grip{expected.screen.left + 300, expected.screen.top + 10};
    XTestFakeMotionEvent(x, -1, grip.x, grip.y, CurrentTime);
    XTestFakeButtonEvent(x, 1, True, CurrentTime);
    XSync(x, False);
    EXPECT_TRUE(WaitFor(window, [] { return true; }));
    for (int step = 1; step <= 4; ++step) {
      XTestFakeMotionEvent(x, -1, grip.x + 10 * step, grip.y + 8 * step, CurrentTime);
      XSync(x, False);
      std::this_thread::sleep_for(20ms);
    }
    XTestFakeButtonEvent(x, 1, False, CurrentTime);
    XSync(x, False);
    const Ui::Rect moved = expected.screen.Offset(40, 32);
    EXPECT_TRUE(WaitFor(window, [&] { return Ui::ScreenRectOf(window) == moved; }))
        << "the caption strip did not drag the window";
    EXPECT_EQ(recorder.Clicks().size(), 1u);  // the drag was no click

    // Alt+F4 asks the window to close.
    const KeyCode alt = XKeysymToKeycode(x, XK_Alt_L);
    const KeyCode f4 = XKeysymToKeycode(x, XK_F4);
    XTestFakeKeyEvent(x, alt, True, CurrentTime);
    XTestFakeKeyEvent(x, f4, True, CurrentTime);
    XTestFakeKeyEvent(x, f4, False, CurrentTime);
    XTestFakeKeyEvent(x, alt, False, CurrentTime);
    XSync(x, False);
    // Should the key not arrive, end the run so that the test reports it.
    for (int i = 0; i < 250 && !ended; ++i) std::this_thread::sleep_for(20ms);
    if (!ended) OnWindowThread(window, [&] {
        window.Close(-3);
        return true;
      });
  });
  closeCode = window.ShowModal();
  ended = true;
  user.join();
  EXPECT_EQ(closeCode, 1) << "Alt+F4 did not close the window";
  EXPECT_TRUE(Ui::ScreenRectOf(window).IsEmpty());
  XCloseDisplay(x);
}


// Typing reaches a focused edit as text, the clipboard goes through the X
// server's selection, Ctrl+V pastes it, and timers tick in the host's loop.
TEST(SdlHost, TypingClipboardAndTimersWorkThroughTheXServer) {
  TestSupport::XvfbDisplay xvfb;
  ASSERT_FALSE(xvfb.Name().empty()) << "Xvfb did not start";
  TestSupport::ScopedEnvironmentVariable display("DISPLAY", xvfb.Name());
  TestSupport::ScopedEnvironmentVariable driver("SDL_VIDEODRIVER", std::string("x11"));
  Display* x = XOpenDisplay(xvfb.Name().c_str());
  ASSERT_NE(x, nullptr);
  auto factory = Ui::CreatePlatformHostFactory();
  ASSERT_NE(factory, nullptr);

  FrameworkTest::SkinWindow window(L"mainWnd.xml");
  struct TimerCounter : Ui::INotifyListener {
    std::atomic<int> ticks{0};
    void Notify(const Ui::Notification& n) override {
      if (n.type == L"timer" && n.wParam == 4321) ++ticks;
    }
  } counter;
  window.AddNotifier(&counter);
  ASSERT_TRUE(window.Create(*factory, nullptr));
  window.Host()->Center();
  FrameworkTest::ShowMainPage(window, 1);

  std::thread user([&] {
    const Ui::Rect screen = OnWindowThread(window, [&] { return Ui::ScreenRectOf(window); });
    const Ui::Rect edit = OnWindowThread(window, [&] { return window.FindControl(L"installDirEdit")->Position(); });
    ClickAt(x, {screen.left + (edit.left + edit.right) / 2, screen.top + (edit.top + edit.bottom) / 2});
    EXPECT_TRUE(WaitFor(window, [&] {
      return window.Focused() != nullptr && window.Focused()->Name() == L"installDirEdit";
    })) << "a click did not focus the edit";

    for (KeySym key : {XK_t, XK_v, XK_2}) {
      const KeyCode code = XKeysymToKeycode(x, key);
      XTestFakeKeyEvent(x, code, True, CurrentTime);
      XTestFakeKeyEvent(x, code, False, CurrentTime);
    }
    XSync(x, False);
    EXPECT_TRUE(WaitFor(window, [&] { return window.FindControl(L"installDirEdit")->Text() == L"tv2"; }))
        << "typed keys did not arrive as text";

    EXPECT_EQ(OnWindowThread(window, [&] {
                window.Host()->SetClipboardText(L"安装");
                return window.Host()->ClipboardText();
              }),
              L"安装");
    const KeyCode control = XKeysymToKeycode(x, XK_Control_L);
    const KeyCode v = XKeysymToKeycode(x, XK_v);
    XTestFakeKeyEvent(x, control, True, CurrentTime);
    XTestFakeKeyEvent(x, v, True, CurrentTime);
    XTestFakeKeyEvent(x, v, False, CurrentTime);
    XTestFakeKeyEvent(x, control, False, CurrentTime);
    XSync(x, False);
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
  XCloseDisplay(x);
}

}  // namespace

#endif  // _WIN32
