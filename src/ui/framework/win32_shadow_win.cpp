#include "ui/framework/win32_shadow.h"

#include <cstring>

#include "support/debug_log.h"

namespace Ui {

namespace {

constexpr wchar_t kShadowClass[] = L"SkinShadowWnd";

using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);

UpdateLayeredWindowFn LayeredUpdate() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<UpdateLayeredWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "UpdateLayeredWindow")));
}

}  // namespace

bool ShadowWindow::Available() {
  static const bool registered = [] {
    if (LayeredUpdate() == nullptr) return false;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kShadowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

ShadowWindow::ShadowWindow(HWND parent, const ShadowSettings& settings, const Image* image)
    : parent_(parent), settings_(settings), image_(image) {
  if (!Available()) return;
  // Click-through and owned by the parent, so it moves in the parent's z-order.
  hwnd_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kShadowClass, L"",
                          WS_POPUP, 0, 0, 1, 1, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ == nullptr) {
    DEBUG_LOG(L"shadow window cannot be created: %d", static_cast<int>(GetLastError()));
    return;
  }
  const LONG style = GetWindowLongW(parent_, GWL_STYLE);
  if ((style & WS_VISIBLE) && !(style & (WS_MAXIMIZE | WS_DISABLED))) {
    Redraw();
    SetVisible(true);
  }
}

ShadowWindow::~ShadowWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void ShadowWindow::SetVisible(bool visible) {
  if (hwnd_ == nullptr) return;
  visible_ = visible;
  ShowWindow(hwnd_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
  if (visible) {
    // Just below the parent it belongs to.
    SetWindowPos(hwnd_, parent_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void ShadowWindow::Move() {
  if (hwnd_ == nullptr) return;
  RECT parent;
  GetWindowRect(parent_, &parent);
  SetWindowPos(hwnd_, nullptr, parent.left + picture_.bounds.left, parent.top + picture_.bounds.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShadowWindow::Redraw() {
  redrawPending_ = false;
  if (hwnd_ == nullptr) return;
  RECT parent;
  GetWindowRect(parent_, &parent);
  const Size size{parent.right - parent.left, parent.bottom - parent.top};
  picture_ = RenderShadow(size, settings_, image_);
  const int width = picture_.canvas.Width();
  const int height = picture_.canvas.Height();
  if (width <= 0 || height <= 0) return;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return;
  }
  // Premultiplied BGRA, as UpdateLayeredWindow wants it.
  auto* out = static_cast<std::uint8_t*>(bits);
  const std::uint8_t* in = picture_.canvas.Pixels();
  for (int i = 0; i < width * height; ++i) {
    out[i * 4 + 0] = in[i * 4 + 2];
    out[i * 4 + 1] = in[i * 4 + 1];
    out[i * 4 + 2] = in[i * 4 + 0];
    out[i * 4 + 3] = in[i * 4 + 3];
  }
  HGDIOBJ old = SelectObject(memory, bitmap);
  POINT position{parent.left + picture_.bounds.left, parent.top + picture_.bounds.top};
  SIZE extent{width, height};
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (auto update = LayeredUpdate()) update(hwnd_, screen, &position, &extent, memory, &origin, 0, &blend, ULW_ALPHA);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  // The parent's own area is cut out of the shadow window, so that a screen
  // without a compositor (which shows per-pixel alpha as black) never hides it.
  HRGN whole = CreateRectRgn(0, 0, width, height);
  HRGN own = CreateRectRgn(-picture_.bounds.left, -picture_.bounds.top, -picture_.bounds.left + size.cx,
                           -picture_.bounds.top + size.cy);
  CombineRgn(whole, whole, own, RGN_DIFF);
  DeleteObject(own);
  SetWindowRgn(hwnd_, whole, TRUE);  // the system owns the region now
  lastSize_ = {size.cx, size.cy};
}

void ShadowWindow::OnParentMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd_ == nullptr) return;
  switch (message) {
    case WM_MOVE:
      Move();
      break;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
        SetVisible(false);
      } else {
        const int width = LOWORD(lParam);
        const int height = HIWORD(lParam);
        if (width > lastSize_.cx || height > lastSize_.cy) {
          redrawPending_ = true;
        } else {
          Redraw();
        }
        if (!visible_ && IsWindowVisible(parent_)) SetVisible(true);
      }
      break;
    case WM_ACTIVATE:
    case WM_EXITSIZEMOVE:
      if (visible_) Redraw();
      break;
    case WM_PAINT:
      if (redrawPending_) Redraw();
      break;
    case WM_SHOWWINDOW:
      if (wParam) {
        redrawPending_ = true;
        Redraw();
        SetVisible(true);
      } else {
        SetVisible(false);
      }
      break;
    case WM_ENABLE:
      break;
    case WM_DESTROY:
      DestroyWindow(hwnd_);
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
}

}  // namespace Ui
