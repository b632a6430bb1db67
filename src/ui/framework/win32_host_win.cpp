// The Windows host: a real top-level popup window per Window, painted from a
// DIB section that holds the canvas (dirty part copied and blitted on each
// Present), with mouse, keyboard, IME, clipboard, caption dragging (HTCAPTION)
// and round corners (a window region), and the layered drop shadow of
// win32_shadow_win.cpp. One message loop per thread serves every window of
// the environment; the core's timers run on a Win32 timer of each window and
// other threads wake the loop with a posted message.
//
// What this host implements:
//   [x] clipboard (CF_UNICODETEXT)
//   [x] input method (IMM32 composition and candidate position)
//   [x] display scale: per-monitor v2, WM_DPICHANGED resizes to the suggested rectangle
//   [ ] accessibility: no UI Automation provider yet (WM_GETOBJECT unanswered)
//   [x] window icon: the program's resource 145 as the class icon
//   [x] round corners (window region) and drop shadow (layered window)
#include <windows.h>
#include <imm.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "support/debug_log.h"
#include "ui/framework/canvas.h"
#include "ui/framework/display_scale.h"
#include "ui/framework/platform_host.h"
#include "ui/framework/win32_shadow.h"
#include "ui/framework/window.h"

namespace Ui {

namespace {

constexpr wchar_t kWindowClass[] = L"TalvorinSkinWindow";
constexpr UINT kWakeMessage = WM_APP + 1;
constexpr UINT_PTR kCoreTimer = 1;

KeyModifiers CurrentModifiers() {
  return {(GetKeyState(VK_SHIFT) & 0x8000) != 0, (GetKeyState(VK_CONTROL) & 0x8000) != 0,
          (GetKeyState(VK_MENU) & 0x8000) != 0};
}

Point PointOf(LPARAM lParam) {
  return {static_cast<int>(static_cast<short>(LOWORD(lParam))), static_cast<int>(static_cast<short>(HIWORD(lParam)))};
}

class Win32Host;

class Win32Environment final : public IHostFactory {
 public:
  std::unique_ptr<IHost> CreateHost(Window& window, Window* owner, Size size) override;
  // The manifest declares per-monitor DPI awareness: the real DPI, drawn at.
  double DisplayScale() override { return SystemDisplayScale(); }
  void Add(Win32Host* host) { hosts_.push_back(host); }
  void Remove(Win32Host* host) { std::erase(hosts_, host); }
  Win32Host* HostOf(const Window* window) const;
  void RunPendingWork();
  void RunLoop(const std::function<bool()>& done);
  void Quit(int code) {
    quit_ = true;
    quitCode_ = code;
  }
  std::atomic<bool> wakePending{false};

 private:
  std::vector<Win32Host*> hosts_;
  bool quit_ = false;
  int quitCode_ = 0;
};

class Win32Host final : public IHost {
 public:
  Win32Host(Win32Environment& environment, Window& window, Window* owner, Size size);
  ~Win32Host() override;

  bool Valid() const { return hwnd_ != nullptr && bits_ != nullptr; }
  HWND Handle() const { return hwnd_; }
  Window& GetWindow() { return window_; }
  bool IsClosed() const { return closed_; }
  Rect ScreenRect() const {
    if (closed_ || hwnd_ == nullptr || !IsWindowVisible(hwnd_)) return {};
    RECT r;
    GetWindowRect(hwnd_, &r);
    return {r.left, r.top, r.right, r.bottom};
  }
  // Re-arms the window's Win32 timer for the core's next deadline.
  void ArmTimer();

  // ---- IHost ----------------------------------------------------------------------------
  void Present(const Canvas& canvas, const Rect& dirty) override;
  void RequestPaint() override { Wake(); }
  void Show(bool visible) override;
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  void Close() override;
  void Minimize() override { ShowWindow(hwnd_, SW_MINIMIZE); }
  void Center() override;
  void SetTitle(const std::wstring& title) override { SetWindowTextW(hwnd_, title.c_str()); }
  // Windows shows the program's icon resource (the window class's icon), made
  // from the same logo at build time, in every size the shell asks for.
  void SetIcon(const Image& icon) override { (void)icon; }
  void SetRoundCorner(Size ellipse) override;
  void SetShadow(const ShadowSettings& shadow) override;
  void SetCapture(bool capture) override {
    if (capture) {
      ::SetCapture(hwnd_);
    } else if (GetCapture() == hwnd_) {
      ReleaseCapture();
    }
  }
  void SetCursor(CursorKind cursor) override { cursor_ = cursor; }
  void SetTextInput(bool active, const Rect& caret) override;
  void Resize(Size device) override;
  std::wstring ClipboardText() override;
  void SetClipboardText(const std::wstring& text) override;
  std::uint64_t NowMs() override { return GetTickCount64(); }
  void TimersChanged() override { ArmTimer(); }
  void Wake() override {
    if (environment_.wakePending.exchange(true)) return;
    if (!PostMessageW(hwnd_, kWakeMessage, 0, 0)) environment_.wakePending = false;
  }
  void RunModalLoop(const std::function<bool()>& done) override { environment_.RunLoop(done); }
  void PostQuit(int code) override {
    environment_.Quit(code);
    Wake();
  }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool Accepts() const { return !closed_ && IsWindowEnabled(hwnd_); }
  void PlaceComposition();

  Win32Environment& environment_;
  Window& window_;
  Window* owner_;
  Size size_;
  // The DIB the window is painted from, at `size`; false when it cannot be made.
  bool CreateBuffer(Size size);
  HWND hwnd_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  std::uint8_t* bits_ = nullptr;  // BGRX, top-down, the window's size
  std::unique_ptr<ShadowWindow> shadow_;
  CursorKind cursor_ = CursorKind::kArrow;
  bool closed_ = false;
  bool trackingLeave_ = false;
  bool textInput_ = false;
  Rect caret_;
  wchar_t highSurrogate_ = 0;
};

constexpr int kProgramIconId = 145;

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window once it knows its host
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // The program's own icon (resource 145), for the title bar, Alt+Tab and
    // the taskbar; none when the program carries none.
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(kProgramIconId));
    wc.hIconSm = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

Win32Host::Win32Host(Win32Environment& environment, Window& window, Window* owner, Size size)
    : environment_(environment), window_(window), owner_(owner), size_(size) {
  if (!RegisterWindowClass()) return;
  Win32Host* ownerHost = environment_.HostOf(owner_);
  HWND ownerHwnd = ownerHost != nullptr ? ownerHost->hwnd_ : nullptr;
  hwnd_ = CreateWindowExW(ownerHwnd == nullptr ? WS_EX_APPWINDOW : 0, kWindowClass, L"",
                          WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, size.cx,
                          size.cy, ownerHwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ == nullptr) {
    DEBUG_LOG(L"CreateWindowExW failed: %d", static_cast<int>(GetLastError()));
    return;
  }
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Host::Procedure));

  HDC screen = GetDC(hwnd_);
  memory_ = CreateCompatibleDC(screen);
  ReleaseDC(hwnd_, screen);
  if (memory_ == nullptr || !CreateBuffer(size)) return;
  // No input method until an edit takes the focus.
  ImmAssociateContext(hwnd_, nullptr);
  environment_.Add(this);
}

Win32Host::~Win32Host() {
  environment_.Remove(this);
  shadow_.reset();
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (memory_ != nullptr) {
    if (oldBitmap_ != nullptr) SelectObject(memory_, oldBitmap_);
    DeleteDC(memory_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

bool Win32Host::CreateBuffer(Size size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;  // top-down, like the canvas
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(hwnd_);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(hwnd_, screen);
  if (bitmap == nullptr) return false;
  if (bitmap_ != nullptr) {
    SelectObject(memory_, oldBitmap_);
    DeleteObject(bitmap_);
  }
  bitmap_ = bitmap;
  bits_ = static_cast<std::uint8_t*>(bits);
  oldBitmap_ = SelectObject(memory_, bitmap_);
  size_ = size;
  return true;
}

void Win32Host::Resize(Size device) {
  if (hwnd_ == nullptr || memory_ == nullptr || !CreateBuffer(device)) return;
  SetWindowPos(hwnd_, nullptr, 0, 0, device.cx, device.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Host::Present(const Canvas& canvas, const Rect& dirty) {
  const Rect r = dirty.Intersect({0, 0, std::min(canvas.Width(), size_.cx), std::min(canvas.Height(), size_.cy)});
  if (r.IsEmpty() || bits_ == nullptr) return;
  GdiFlush();
  for (int y = r.top; y < r.bottom; ++y) {
    const std::uint8_t* in = canvas.Pixels() + (static_cast<std::size_t>(y) * canvas.Width() + r.left) * 4;
    std::uint8_t* out = bits_ + (static_cast<std::size_t>(y) * size_.cx + r.left) * 4;
    // The window is opaque: premultiplied colour is the picture over black.
    for (int x = r.left; x < r.right; ++x, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 255;
    }
  }
  HDC dc = GetDC(hwnd_);
  BitBlt(dc, r.left, r.top, r.Width(), r.Height(), memory_, r.left, r.top, SRCCOPY);
  ReleaseDC(hwnd_, dc);
}

void Win32Host::Show(bool visible) {
  if (!visible) {
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
}

void Win32Host::Close() {
  closed_ = true;
  KillTimer(hwnd_, kCoreTimer);
  if (GetCapture() == hwnd_) ReleaseCapture();
  // Give the owner its input back before hiding, or the system would
  // activate some other program's window in between.
  if (Win32Host* ownerHost = environment_.HostOf(owner_)) {
    EnableWindow(ownerHost->hwnd_, TRUE);
    SetActiveWindow(ownerHost->hwnd_);
  }
  ShowWindow(hwnd_, SW_HIDE);
}

void Win32Host::Center() {
  RECT area{};
  Win32Host* ownerHost = environment_.HostOf(owner_);
  if (ownerHost != nullptr && IsWindowVisible(ownerHost->hwnd_)) {
    GetWindowRect(ownerHost->hwnd_, &area);
  } else if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int x = area.left + (area.right - area.left - size_.cx) / 2;
  const int y = area.top + (area.bottom - area.top - size_.cy) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Host::SetRoundCorner(Size ellipse) {
  if (ellipse.cx <= 0 && ellipse.cy <= 0) {
    SetWindowRgn(hwnd_, nullptr, TRUE);
    return;
  }
  HRGN region = CreateRoundRectRgn(0, 0, size_.cx + 1, size_.cy + 1, ellipse.cx, ellipse.cy);
  if (region != nullptr && !SetWindowRgn(hwnd_, region, TRUE)) DeleteObject(region);
}

void Win32Host::SetShadow(const ShadowSettings& shadow) {
  shadow_.reset();
  if (!shadow.enabled || !ShadowWindow::Available()) return;
  std::shared_ptr<Image> image = shadow.image.empty() ? nullptr : window_.GetImage(shadow.image);
  shadow_ = std::make_unique<ShadowWindow>(hwnd_, shadow, image.get());
}

void Win32Host::PlaceComposition() {
  HIMC context = ImmGetContext(hwnd_);
  if (context == nullptr) return;
  COMPOSITIONFORM composition{};
  composition.dwStyle = CFS_POINT;
  composition.ptCurrentPos = {caret_.left, caret_.top};
  ImmSetCompositionWindow(context, &composition);
  CANDIDATEFORM candidates{};
  candidates.dwIndex = 0;
  candidates.dwStyle = CFS_EXCLUDE;
  candidates.ptCurrentPos = {caret_.left, caret_.bottom};
  candidates.rcArea = {caret_.left, caret_.top, caret_.right, caret_.bottom};
  ImmSetCandidateWindow(context, &candidates);
  ImmReleaseContext(hwnd_, context);
}

void Win32Host::SetTextInput(bool active, const Rect& caret) {
  caret_ = caret;
  if (active) {
    if (!textInput_) ImmAssociateContextEx(hwnd_, nullptr, IACE_DEFAULT);
    PlaceComposition();
  } else if (textInput_) {
    ImmAssociateContext(hwnd_, nullptr);
  }
  textInput_ = active;
}

std::wstring Win32Host::ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(hwnd_)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void Win32Host::SetClipboardText(const std::wstring& text) {
  if (!OpenClipboard(hwnd_)) return;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* target = GlobalLock(memory)) {
      std::memcpy(target, text.c_str(), bytes);
      GlobalUnlock(memory);
      if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

void Win32Host::ArmTimer() {
  if (closed_ || hwnd_ == nullptr) return;
  const std::optional<std::uint64_t> due = window_.NextTimerDue();
  if (!due) {
    KillTimer(hwnd_, kCoreTimer);
    return;
  }
  const std::uint64_t now = NowMs();
  const std::uint64_t wait = *due > now ? *due - now : 0;
  ::SetTimer(hwnd_, kCoreTimer, static_cast<UINT>(std::clamp<std::uint64_t>(wait, USER_TIMER_MINIMUM, 0x7FFFFFFF)),
             nullptr);
}

LRESULT CALLBACK Win32Host::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (host == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (host->shadow_ != nullptr) host->shadow_->OnParentMessage(message, wParam, lParam);
  return host->Handle(message, wParam, lParam);
}

LRESULT Win32Host::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kWakeMessage:
      environment_.wakePending = false;
      environment_.RunPendingWork();
      return 0;
    case WM_TIMER:
      if (wParam == kCoreTimer) {
        KillTimer(hwnd_, kCoreTimer);
        environment_.RunPendingWork();
        return 0;
      }
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      const RECT& r = paint.rcPaint;
      BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory_, r.left, r.top, SRCCOPY);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale: drawn anew at its pixels, at
      // the place the system suggests.
      window_.ChangeScale(HIWORD(wParam) / 96.0);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, size_.cx, size_.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_NCHITTEST: {
      const LRESULT hit = DefWindowProcW(hwnd_, message, wParam, lParam);
      if (hit != HTCLIENT || !Accepts()) return hit;
      POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ScreenToClient(hwnd_, &p);
      // The caption strip drags the window the system's way.
      return window_.IsCaptionAt({p.x, p.y}) ? HTCAPTION : HTCLIENT;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        const wchar_t* id = cursor_ == CursorKind::kHand ? IDC_HAND : cursor_ == CursorKind::kIBeam ? IDC_IBEAM : IDC_ARROW;
        ::SetCursor(LoadCursorW(nullptr, id));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (!Accepts()) return 0;
      if (!trackingLeave_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
        trackingLeave_ = TrackMouseEvent(&track) != FALSE;
      }
      window_.OnMouseMove(PointOf(lParam));
      return 0;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      if (Accepts()) window_.OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (Accepts()) {
        const MouseButton button = message == WM_LBUTTONDOWN   ? MouseButton::kLeft
                                   : message == WM_RBUTTONDOWN ? MouseButton::kRight
                                                               : MouseButton::kMiddle;
        window_.OnMouseDown(button, PointOf(lParam), CurrentModifiers());
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (!closed_) {
        const MouseButton button = message == WM_LBUTTONUP   ? MouseButton::kLeft
                                   : message == WM_RBUTTONUP ? MouseButton::kRight
                                                             : MouseButton::kMiddle;
        window_.OnMouseUp(button, PointOf(lParam), CurrentModifiers());
      }
      return 0;
    case WM_KEYDOWN:
      if (Accepts()) window_.OnKeyDown(static_cast<int>(wParam), CurrentModifiers());
      return 0;
    case WM_SYSKEYDOWN:
      if (Accepts()) window_.OnKeyDown(static_cast<int>(wParam), CurrentModifiers());
      // Alt+F4 is the core's to decide (a close request); other Alt keys keep
      // the system's meaning (Alt+Space opens the window menu).
      if (wParam == VK_F4) return 0;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (Accepts()) window_.OnKeyUp(static_cast<int>(wParam), CurrentModifiers());
      if (message == WM_KEYUP) return 0;
      break;
    case WM_CHAR: {
      if (!Accepts()) return 0;
      const auto unit = static_cast<wchar_t>(wParam);
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
        return 0;
      }
      char32_t c = unit;
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (highSurrogate_ == 0) return 0;
        c = 0x10000 + ((static_cast<char32_t>(highSurrogate_) - 0xD800) << 10) + (unit - 0xDC00);
      }
      highSurrogate_ = 0;
      window_.OnChar(c);
      return 0;
    }
    case WM_IME_STARTCOMPOSITION:
      PlaceComposition();
      break;
    case WM_SETFOCUS:
      if (!closed_) window_.OnFocus(true);
      return 0;
    case WM_KILLFOCUS:
      if (!closed_) window_.OnFocus(false);
      return 0;
    case WM_CLOSE:
      // Never destroyed by the system: the core decides (and may refuse).
      if (Accepts()) window_.OnCloseRequest();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // the session may end; WM_ENDSESSION tells the core
    case WM_ENDSESSION: {
      // The program ends with the session: its window decides how.
      std::intptr_t result = 0;
      window_.FilterMessage(message, wParam, lParam, result);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

std::unique_ptr<IHost> Win32Environment::CreateHost(Window& window, Window* owner, Size size) {
  auto host = std::make_unique<Win32Host>(*this, window, owner, size);
  if (!host->Valid()) return nullptr;
  return host;
}

Win32Host* Win32Environment::HostOf(const Window* window) const {
  if (window == nullptr) return nullptr;
  for (Win32Host* host : hosts_) {
    if (&host->GetWindow() == window) return host;
  }
  return nullptr;
}

void Win32Environment::RunPendingWork() {
  // Windows may open or close while their work runs.
  const std::vector<Win32Host*> hosts = hosts_;
  for (Win32Host* host : hosts) {
    if (std::find(hosts_.begin(), hosts_.end(), host) == hosts_.end() || host->IsClosed()) continue;
    if (host->GetWindow().HasPendingWork()) host->GetWindow().RunPending();
    if (std::find(hosts_.begin(), hosts_.end(), host) != hosts_.end()) host->ArmTimer();
  }
}

void Win32Environment::RunLoop(const std::function<bool()>& done) {
  while (!done() && !quit_) {
    RunPendingWork();
    if (done() || quit_) break;
    MSG message;
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT: end this loop and, posted again, every loop around it.
      quit_ = true;
      quitCode_ = static_cast<int>(message.wParam);
      PostQuitMessage(quitCode_);
      break;
    }
    if (got < 0) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

std::unique_ptr<IHostFactory> CreatePlatformHostFactory() { return std::make_unique<Win32Environment>(); }

Rect ScreenRectOf(const Window& window) {
  auto* host = dynamic_cast<Win32Host*>(window.Host());
  return host != nullptr ? host->ScreenRect() : Rect{};
}

}  // namespace Ui
