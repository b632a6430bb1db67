// The Linux host: a borderless SDL2 window per Window, painted in software
// (the canvas converted into the window's framebuffer, dirty part only), with
// SDL's events turned into the core's input calls. One loop per thread serves
// every window of the environment; it sleeps in SDL_WaitEventTimeout until the
// next event or timer, and other threads wake it with a pushed user event.
//
// What this host implements:
//   [x] clipboard (SDL's, UTF-8)
//   [x] input method: composition shown in the field (SDL_TEXTEDITING)
//   [x] display scale: Xft.dpi, GDK_SCALE or TALVORIN_SCALE, read at start
//   [ ] display scale changes while running (one scale per run)
//   [x] accessibility: AT-SPI through ATK and atk-bridge, pumped from the loop
//   [x] window icon (SDL_SetWindowIcon)
//   [ ] round corners and drop shadow (X11 without a compositor has neither)
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <vector>

#include "support/debug_log.h"
#include "support/text.h"
#include "ui/framework/accessibility_bridge.h"
#include "ui/framework/canvas.h"
#include "ui/framework/display_scale.h"
#include "ui/framework/image.h"
#include "ui/framework/platform_host.h"
#include "ui/framework/window.h"

namespace Ui {

namespace {

// Windows virtual-key numbers for SDL's key symbols; 0 for keys the core does not use.
int VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  switch (key) {
    case SDLK_BACKSPACE: return Key::kBack;
    case SDLK_TAB: return Key::kTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return Key::kReturn;
    case SDLK_ESCAPE: return Key::kEscape;
    case SDLK_SPACE: return Key::kSpace;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return Key::kEnd;
    case SDLK_HOME: return Key::kHome;
    case SDLK_LEFT: return Key::kLeft;
    case SDLK_UP: return Key::kUp;
    case SDLK_RIGHT: return Key::kRight;
    case SDLK_DOWN: return Key::kDown;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return Key::kDelete;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 0x11;
    case SDLK_LALT:
    case SDLK_RALT: return 0x12;
    default: return 0;
  }
}

KeyModifiers Modifiers(Uint16 mod) {
  return {(mod & KMOD_SHIFT) != 0, (mod & KMOD_CTRL) != 0, (mod & KMOD_ALT) != 0};
}

MouseButton Button(Uint8 button) {
  if (button == SDL_BUTTON_RIGHT) return MouseButton::kRight;
  if (button == SDL_BUTTON_MIDDLE) return MouseButton::kMiddle;
  return MouseButton::kLeft;
}

class SdlHost;

class SdlEnvironment final : public IHostFactory {
 public:
  SdlEnvironment() = default;
  ~SdlEnvironment() override;
  bool Start();

  std::unique_ptr<IHost> CreateHost(Window& window, Window* owner, Size size) override;
  double DisplayScale() override { return SystemDisplayScale(); }

  void Add(SdlHost* host) { hosts_.push_back(host); }
  void Remove(SdlHost* host) { std::erase(hosts_, host); }
  SdlHost* HostOf(const Window* window) const;
  void RunLoop(const std::function<bool()>& done);
  void Wake();
  void Quit() {
    quit_ = true;
    Wake();
  }
  SDL_Cursor* Cursor(CursorKind kind) const { return cursors_[static_cast<int>(kind)]; }
  AccessibilityBridge* Accessibility() const { return accessibility_.get(); }

 private:
  void RunPendingWork();
  int MillisecondsToNextTimer() const;
  void Dispatch(const SDL_Event& event);
  SdlHost* HostOfId(Uint32 id) const;

  bool started_ = false;
  Uint32 wakeEvent_ = 0;
  std::atomic<bool> wakePending_{false};
  bool quit_ = false;
  SDL_Cursor* cursors_[3] = {nullptr, nullptr, nullptr};
  std::vector<SdlHost*> hosts_;
  // Screen readers (AT-SPI); nullptr when no accessibility bus is there.
  std::unique_ptr<AccessibilityBridge> accessibility_;
};

class SdlHost final : public IHost {
 public:
  SdlHost(SdlEnvironment& environment, Window& window, Window* owner, Size size)
      : environment_(environment), window_(window), owner_(owner), size_(size) {
    sdl_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.cx, size.cy,
                            SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (sdl_ == nullptr) {
      DEBUG_LOG(L"SDL_CreateWindow failed: %s", Utils::ToWide(SDL_GetError(), Utils::kCodePageUtf8).c_str());
      return;
    }
    if (SdlHost* ownerHost = environment_.HostOf(owner_); ownerHost != nullptr && ownerHost->sdl_ != nullptr) {
      SDL_SetWindowModalFor(sdl_, ownerHost->sdl_);
    }
    environment_.Add(this);
    if (AccessibilityBridge* bridge = environment_.Accessibility()) accessible_ = bridge->Register(window_);
  }

  ~SdlHost() override {
    accessible_.reset();
    environment_.Remove(this);
    if (sdl_ != nullptr) SDL_DestroyWindow(sdl_);
  }

  bool Valid() const { return sdl_ != nullptr; }
  Uint32 Id() const { return SDL_GetWindowID(sdl_); }
  Window& GetWindow() { return window_; }
  bool IsClosed() const { return closed_; }
  bool Accepts() const { return enabled_ && !closed_; }

  Rect ScreenRect() const {
    if (closed_ || sdl_ == nullptr) return {};
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(sdl_, &x, &y);
    return {x, y, x + size_.cx, y + size_.cy};
  }

  // ---- IHost ----------------------------------------------------------------------------
  void Resize(Size device) override {
    size_ = device;
    if (sdl_ != nullptr) SDL_SetWindowSize(sdl_, device.cx, device.cy);
  }

  void Present(const Canvas& canvas, const Rect& dirty) override {
    SDL_Surface* surface = SDL_GetWindowSurface(sdl_);
    if (surface == nullptr) return;
    const Rect r = dirty.Intersect({0, 0, std::min(canvas.Width(), surface->w), std::min(canvas.Height(), surface->h)});
    if (r.IsEmpty()) return;
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    // Premultiplied colour is the picture over black; the window itself is opaque.
    const int sourcePitch = canvas.Width() * 4;
    const std::uint8_t* source = canvas.Pixels() + static_cast<std::size_t>(r.top) * sourcePitch + r.left * 4;
    auto* target = static_cast<std::uint8_t*>(surface->pixels) + static_cast<std::size_t>(r.top) * surface->pitch +
                   r.left * surface->format->BytesPerPixel;
    SDL_ConvertPixels(r.Width(), r.Height(), SDL_PIXELFORMAT_RGBA32, source, sourcePitch, surface->format->format,
                      target, surface->pitch);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    const SDL_Rect update{r.left, r.top, r.Width(), r.Height()};
    SDL_UpdateWindowSurfaceRects(sdl_, &update, 1);
  }

  void RequestPaint() override {}  // the loop repaints after each round of events

  void Show(bool visible) override {
    if (visible) {
      SDL_ShowWindow(sdl_);
      SDL_RaiseWindow(sdl_);
    } else {
      SDL_HideWindow(sdl_);
    }
  }

  void SetEnabled(bool enabled) override { enabled_ = enabled; }

  void Close() override {
    closed_ = true;
    dragging_ = false;
    SDL_CaptureMouse(SDL_FALSE);
    if (textInput_) SDL_StopTextInput();
    textInput_ = false;
    SDL_HideWindow(sdl_);
  }

  void Minimize() override { SDL_MinimizeWindow(sdl_); }

  void Center() override {
    int x = 0;
    int y = 0;
    if (SdlHost* ownerHost = environment_.HostOf(owner_); ownerHost != nullptr && !ownerHost->closed_) {
      const Rect o = ownerHost->ScreenRect();
      x = o.left + (o.Width() - size_.cx) / 2;
      y = o.top + (o.Height() - size_.cy) / 2;
    } else {
      SDL_Rect screen{0, 0, 1024, 768};
      const int display = std::max(SDL_GetWindowDisplayIndex(sdl_), 0);
      if (SDL_GetDisplayUsableBounds(display, &screen) != 0) SDL_GetDisplayBounds(display, &screen);
      x = screen.x + (screen.w - size_.cx) / 2;
      y = screen.y + (screen.h - size_.cy) / 2;
    }
    SDL_SetWindowPosition(sdl_, x, y);
  }

  void SetTitle(const std::wstring& title) override {
    SDL_SetWindowTitle(sdl_, Utils::ToNarrow(title, Utils::kCodePageUtf8).c_str());
  }

  // Window managers want straight alpha (_NET_WM_ICON); the image holds
  // premultiplied pixels.
  void SetIcon(const Image& icon) override {
    if (icon.Width() <= 0 || icon.Height() <= 0) return;
    std::vector<std::uint8_t> straight(icon.Pixels(), icon.Pixels() + static_cast<std::size_t>(icon.Width()) *
                                                                           static_cast<std::size_t>(icon.Height()) * 4);
    for (std::size_t i = 0; i + 3 < straight.size(); i += 4) {
      const unsigned alpha = straight[i + 3];
      if (alpha == 0 || alpha == 255) continue;
      for (std::size_t c = 0; c < 3; ++c) {
        straight[i + c] = static_cast<std::uint8_t>(std::min(255u, (straight[i + c] * 255u + alpha / 2) / alpha));
      }
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(straight.data(), icon.Width(), icon.Height(), 32,
                                                              icon.Width() * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) {
      DEBUG_LOG(L"window icon: %s", Utils::ToWide(SDL_GetError(), Utils::kCodePageUtf8).c_str());
      return;
    }
    SDL_SetWindowIcon(sdl_, surface);  // SDL copies the pixels
    SDL_FreeSurface(surface);
  }

  // X11 without a compositor can neither cut corners smoothly nor blend a
  // shadow; the window stays a plain rectangle on Linux.
  void SetRoundCorner(Size ellipse) override { (void)ellipse; }
  void SetShadow(const ShadowSettings& shadow) override { (void)shadow; }

  void SetCapture(bool capture) override { SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE); }

  void SetCursor(CursorKind cursor) override {
    if (SDL_Cursor* c = environment_.Cursor(cursor)) SDL_SetCursor(c);
  }

  void SetTextInput(bool active, const Rect& caret) override {
    if (active) {
      // Where the input method shows its composition, in window coordinates.
      SDL_Rect rect{caret.left, caret.top, std::max(caret.Width(), 1), std::max(caret.Height(), 1)};
      SDL_SetTextInputRect(&rect);
      if (!textInput_) SDL_StartTextInput();
    } else if (textInput_) {
      SDL_StopTextInput();
    }
    textInput_ = active;
  }

  std::wstring ClipboardText() override {
    char* text = SDL_GetClipboardText();
    std::wstring result = text != nullptr ? Utils::ToWide(text, Utils::kCodePageUtf8) : std::wstring();
    SDL_free(text);
    return result;
  }

  void SetClipboardText(const std::wstring& text) override {
    SDL_SetClipboardText(Utils::ToNarrow(text, Utils::kCodePageUtf8).c_str());
  }

  std::uint64_t NowMs() override { return SDL_GetTicks64(); }
  void TimersChanged() override {}
  void Wake() override { environment_.Wake(); }
  void RunModalLoop(const std::function<bool()>& done) override { environment_.RunLoop(done); }
  void PostQuit(int code) override {
    (void)code;
    environment_.Quit();
  }

  // ---- events from the environment's loop ------------------------------------------------
  void OnWindowEvent(const SDL_WindowEvent& e) {
    switch (e.event) {
      case SDL_WINDOWEVENT_EXPOSED:
        SDL_UpdateWindowSurface(sdl_);  // the framebuffer holds the last picture
        break;
      case SDL_WINDOWEVENT_LEAVE:
        if (Accepts() && !dragging_) window_.OnMouseLeave();
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (!closed_) window_.OnFocus(true);
        break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        if (!closed_) window_.OnFocus(false);
        break;
      case SDL_WINDOWEVENT_CLOSE:
        if (Accepts()) window_.OnCloseRequest();
        break;
      default:
        break;
    }
  }

  void OnMouseMotion(const SDL_MouseMotionEvent& e) {
    if (!Accepts()) return;
    if (dragging_) {
      // Moved by the pointer's screen position, which does not shift with the window.
      int x = 0;
      int y = 0;
      SDL_GetGlobalMouseState(&x, &y);
      SDL_SetWindowPosition(sdl_, windowAtPress_.x + x - pointerAtPress_.x, windowAtPress_.y + y - pointerAtPress_.y);
      return;
    }
    window_.OnMouseMove({e.x, e.y});
  }

  void OnMouseButton(const SDL_MouseButtonEvent& e, bool down) {
    const Point point{e.x, e.y};
    const KeyModifiers modifiers = Modifiers(static_cast<Uint16>(SDL_GetModState()));
    if (!down && dragging_ && e.button == SDL_BUTTON_LEFT) {
      dragging_ = false;
      SDL_CaptureMouse(SDL_FALSE);
      return;
    }
    if (!Accepts()) return;
    if (down && e.button == SDL_BUTTON_LEFT && window_.IsCaptionAt(point)) {
      // The caption strip moves the window; the controls never see the press.
      dragging_ = true;
      SDL_GetGlobalMouseState(&pointerAtPress_.x, &pointerAtPress_.y);
      SDL_GetWindowPosition(sdl_, &windowAtPress_.x, &windowAtPress_.y);
      SDL_CaptureMouse(SDL_TRUE);
      return;
    }
    if (down) {
      window_.OnMouseDown(Button(e.button), point, modifiers);
    } else {
      window_.OnMouseUp(Button(e.button), point, modifiers);
    }
  }

  void OnKey(const SDL_KeyboardEvent& e, bool down) {
    if (!Accepts()) return;
    const int key = VirtualKey(e.keysym.sym);
    if (key == 0) return;
    if (down) {
      window_.OnKeyDown(key, Modifiers(e.keysym.mod));
    } else {
      window_.OnKeyUp(key, Modifiers(e.keysym.mod));
    }
  }

  void OnEditing(const char* utf8) {
    if (!Accepts()) return;
    window_.OnComposition(Utils::ToWide(utf8, Utils::kCodePageUtf8));
  }

  void OnText(const char* utf8) {
    if (!Accepts()) return;
    window_.OnComposition(L"");
    const std::wstring text = Utils::ToWide(utf8, Utils::kCodePageUtf8);
    for (std::size_t i = 0; i < text.size(); ++i) {
      auto c = static_cast<char32_t>(text[i]);
      if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
          c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
          ++i;
        }
      }
      window_.OnChar(c);
    }
  }

 private:
  SdlEnvironment& environment_;
  Window& window_;
  Window* owner_;
  Size size_;
  SDL_Window* sdl_ = nullptr;
  bool enabled_ = true;
  bool closed_ = false;
  bool textInput_ = false;
  bool dragging_ = false;
  Point pointerAtPress_;
  Point windowAtPress_;
  std::unique_ptr<AccessibilityBridge::Registration> accessible_;
};

SdlEnvironment::~SdlEnvironment() {
  accessibility_.reset();
  for (SDL_Cursor* c : cursors_) {
    if (c != nullptr) SDL_FreeCursor(c);
  }
  if (!started_) return;
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  // The last user of SDL also ends what SDL started for itself (its D-Bus
  // connection for input methods), which only SDL_Quit releases.
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

bool SdlEnvironment::Start() {
  // The installer decides itself when to end; Ctrl+C in a terminal ends the
  // process as it would any other program.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // The canvas goes straight into the X server's framebuffer (MIT-SHM when
  // available). Left to itself SDL would put an OpenGL renderer behind the
  // window surface, which on machines without a GPU means loading Mesa's
  // llvmpipe: slower to start and busier per frame for no gain here.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    DEBUG_LOG(L"SDL video cannot start: %s", Utils::ToWide(SDL_GetError(), Utils::kCodePageUtf8).c_str());
    return false;
  }
  started_ = true;
  wakeEvent_ = SDL_RegisterEvents(1);
  if (wakeEvent_ == static_cast<Uint32>(-1)) return false;
  cursors_[static_cast<int>(CursorKind::kArrow)] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  cursors_[static_cast<int>(CursorKind::kHand)] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
  cursors_[static_cast<int>(CursorKind::kIBeam)] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_IBEAM);
  // Text input is on by default in SDL; only a focused edit wants it.
  SDL_StopTextInput();
  accessibility_ = CreateAccessibilityBridge();
  return true;
}

std::unique_ptr<IHost> SdlEnvironment::CreateHost(Window& window, Window* owner, Size size) {
  auto host = std::make_unique<SdlHost>(*this, window, owner, size);
  if (!host->Valid()) return nullptr;
  return host;
}

SdlHost* SdlEnvironment::HostOf(const Window* window) const {
  if (window == nullptr) return nullptr;
  for (SdlHost* host : hosts_) {
    if (&host->GetWindow() == window) return host;
  }
  return nullptr;
}

SdlHost* SdlEnvironment::HostOfId(Uint32 id) const {
  for (SdlHost* host : hosts_) {
    if (host->Id() == id) return host;
  }
  return nullptr;
}

void SdlEnvironment::Wake() {
  // Any thread; one wake event in the queue is enough.
  if (wakePending_.exchange(true)) return;
  SDL_Event event{};
  event.type = wakeEvent_;
  if (SDL_PushEvent(&event) != 1) wakePending_ = false;
}

void SdlEnvironment::RunPendingWork() {
  // Windows may open or close while their work runs.
  const std::vector<SdlHost*> hosts = hosts_;
  for (SdlHost* host : hosts) {
    if (std::find(hosts_.begin(), hosts_.end(), host) == hosts_.end() || host->IsClosed()) continue;
    if (host->GetWindow().HasPendingWork()) host->GetWindow().RunPending();
  }
}

int SdlEnvironment::MillisecondsToNextTimer() const {
  std::optional<std::uint64_t> next;
  for (SdlHost* host : hosts_) {
    if (host->IsClosed()) continue;
    const auto due = host->GetWindow().NextTimerDue();
    if (due && (!next || *due < *next)) next = due;
  }
  if (!next) return -1;
  const std::uint64_t now = SDL_GetTicks64();
  return *next <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(*next - now, INT_MAX));
}

void SdlEnvironment::Dispatch(const SDL_Event& event) {
  if (event.type == wakeEvent_) {
    wakePending_ = false;
    return;
  }
  switch (event.type) {
    case SDL_WINDOWEVENT:
      if (SdlHost* host = HostOfId(event.window.windowID)) host->OnWindowEvent(event.window);
      break;
    case SDL_MOUSEMOTION:
      if (SdlHost* host = HostOfId(event.motion.windowID)) host->OnMouseMotion(event.motion);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (SdlHost* host = HostOfId(event.button.windowID)) {
        host->OnMouseButton(event.button, event.type == SDL_MOUSEBUTTONDOWN);
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (SdlHost* host = HostOfId(event.key.windowID)) host->OnKey(event.key, event.type == SDL_KEYDOWN);
      break;
    case SDL_TEXTINPUT:
      if (SdlHost* host = HostOfId(event.text.windowID)) host->OnText(event.text.text);
      break;
    case SDL_TEXTEDITING:
      // The input method's composition while a person types (pinyin, say);
      // an empty one ends it.
      if (SdlHost* host = HostOfId(event.edit.windowID)) host->OnEditing(event.edit.text);
      break;
    default:
      break;
  }
}

void SdlEnvironment::RunLoop(const std::function<bool()>& done) {
  while (!done() && !quit_) {
    RunPendingWork();
    if (accessibility_ != nullptr) accessibility_->Pump();
    if (done() || quit_) break;
    SDL_Event event;
    int wait = MillisecondsToNextTimer();
    // The screen reader's requests come over D-Bus, which SDL's wait does
    // not watch: look for them a few times a frame.
    if (accessibility_ != nullptr && accessibility_->NeedsPolling() &&
        (wait < 0 || wait > AccessibilityBridge::kPumpIntervalMs)) {
      wait = AccessibilityBridge::kPumpIntervalMs;
    }
    const bool got = wait < 0 ? SDL_WaitEvent(&event) == 1 : SDL_WaitEventTimeout(&event, wait) == 1;
    if (!got) continue;
    Dispatch(event);
    while (!quit_ && SDL_PollEvent(&event) == 1) Dispatch(event);
  }
}

}  // namespace

std::unique_ptr<IHostFactory> CreatePlatformHostFactory() {
  auto environment = std::make_unique<SdlEnvironment>();
  if (!environment->Start()) return nullptr;
  return environment;
}

Rect ScreenRectOf(const Window& window) {
  auto* host = dynamic_cast<SdlHost*>(window.Host());
  return host != nullptr ? host->ScreenRect() : Rect{};
}

}  // namespace Ui
