#include "ui/window/real_screen.h"

#include <signal.h>
#include <sys/types.h>

#include <cstdlib>
#include <functional>
#include <vector>

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>

namespace RealWindow {

namespace {

class XScreen : public Screen {
 public:
  explicit XScreen(Display* display)
      : display_(display), pidAtom_(XInternAtom(display, "_NET_WM_PID", False)) {}
  ~XScreen() override { XCloseDisplay(display_); }
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;

  std::optional<Ui::Rect> WindowOf(std::uint32_t processId, Ui::Size size) override {
    const std::optional<Window> window = FindWindow(processId, size);
    if (!window) return std::nullopt;
    int x = 0, y = 0;
    Window child = 0;
    if (XTranslateCoordinates(display_, *window, DefaultRootWindow(display_), 0, 0, &x, &y, &child) == 0)
      return std::nullopt;
    return Ui::Rect{x, y, x + size.cx, y + size.cy};
  }

  // _NET_WM_ICON holds images one after another, each as width, height and
  // its pixels.
  std::optional<Ui::Size> IconOf(std::uint32_t processId, Ui::Size size) override {
    const std::optional<Window> window = FindWindow(processId, size);
    if (!window) return std::nullopt;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<Ui::Size> largest;
    if (XGetWindowProperty(display_, *window, XInternAtom(display_, "_NET_WM_ICON", False), 0, 1 << 20, False,
                           XA_CARDINAL, &type, &format, &items, &after, &data) == Success &&
        data != nullptr) {
      const auto* values = reinterpret_cast<const unsigned long*>(data);
      for (unsigned long at = 0; format == 32 && at + 2 <= items;) {
        const unsigned long width = values[at];
        const unsigned long height = values[at + 1];
        if (width == 0 || height == 0 || width * height > items - at - 2) break;
        if (!largest || static_cast<long>(width) > largest->cx)
          largest = Ui::Size{static_cast<int>(width), static_cast<int>(height)};
        at += 2 + width * height;
      }
      XFree(data);
    }
    return largest;
  }

  Picture Capture(const Ui::Rect& r) override {
    Picture picture;
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), r.left, r.top,
                              static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()), AllPlanes,
                              ZPixmap);
    if (image == nullptr) return picture;
    picture.width = r.Width();
    picture.height = r.Height();
    picture.pixels.reserve(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()));
    for (int y = 0; y < r.Height(); ++y) {
      for (int x = 0; x < r.Width(); ++x)
        picture.pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
    }
    XDestroyImage(image);
    return picture;
  }

  void Click(Ui::Point screen) override {
    MovePointer(screen);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
  }

  void PressKey(int key, Ui::KeyModifiers modifiers) override {
    std::vector<KeyCode> held;
    if (modifiers.control) held.push_back(XKeysymToKeycode(display_, XK_Control_L));
    if (modifiers.shift) held.push_back(XKeysymToKeycode(display_, XK_Shift_L));
    if (modifiers.alt) held.push_back(XKeysymToKeycode(display_, XK_Alt_L));
    for (KeyCode code : held) XTestFakeKeyEvent(display_, code, True, CurrentTime);
    const KeyCode code = XKeysymToKeycode(display_, SymbolOf(key));
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it) XTestFakeKeyEvent(display_, *it, False, CurrentTime);
    XSync(display_, False);
  }

  void MovePointer(Ui::Point screen) override {
    XTestFakeMotionEvent(display_, -1, screen.x, screen.y, CurrentTime);
    XSync(display_, False);
  }

 private:
  static KeySym SymbolOf(int key) {
    switch (key) {
      case Ui::Key::kTab: return XK_Tab;
      case Ui::Key::kReturn: return XK_Return;
      case Ui::Key::kEscape: return XK_Escape;
      case Ui::Key::kSpace: return XK_space;
      case Ui::Key::kBack: return XK_BackSpace;
      default: break;
    }
    if (key >= 'A' && key <= 'Z') return static_cast<KeySym>(XK_a + (key - 'A'));
    return NoSymbol;
  }

  // The shown window of that process with a client area of that size.
  std::optional<Window> FindWindow(std::uint32_t processId, Ui::Size size) {
    std::optional<Window> found;
    // Without a window manager the program's windows are children of the
    // root; with one they sit inside its frames, so the whole tree is searched.
    Walk(DefaultRootWindow(display_), [&](Window window) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display_, window, &attributes) == 0) return false;
      if (attributes.map_state != IsViewable || attributes.width != size.cx || attributes.height != size.cy)
        return false;
      if (ProcessOf(window) != processId) return false;
      found = window;
      return true;
    });
    return found;
  }

  // Calls `visit` for every window below `window`, depth first, until it
  // answers true.
  bool Walk(Window window, const std::function<bool(Window)>& visit) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, window, &root, &parent, &children, &count) == 0) return false;
    bool done = false;
    for (unsigned i = 0; i < count && !done; ++i) done = visit(children[i]) || Walk(children[i], visit);
    if (children != nullptr) XFree(children);
    return done;
  }

  std::uint32_t ProcessOf(Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::uint32_t pid = 0;
    if (XGetWindowProperty(display_, window, pidAtom_, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                           &data) == Success &&
        data != nullptr) {
      if (format == 32 && items == 1) pid = static_cast<std::uint32_t>(*reinterpret_cast<unsigned long*>(data));
      XFree(data);
    }
    return pid;
  }

  Display* display_;
  Atom pidAtom_;
};

}  // namespace

std::unique_ptr<Screen> Screen::Open(std::string& error) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    error = "no X display: DISPLAY is not set";
    return nullptr;
  }
  Display* display = XOpenDisplay(name);
  if (display == nullptr) {
    error = std::string("cannot open the X display ") + name;
    return nullptr;
  }
  int event = 0, firstError = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &firstError, &major, &minor)) {
    XCloseDisplay(display);
    error = std::string("the X display ") + name + " has no XTest extension";
    return nullptr;
  }
  return std::make_unique<XScreen>(display);
}

bool EndProcess(std::uint32_t processId) {
  return processId != 0 && kill(static_cast<pid_t>(processId), SIGKILL) == 0;
}

}  // namespace RealWindow
