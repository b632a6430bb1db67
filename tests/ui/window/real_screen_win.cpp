#include "ui/window/real_screen.h"

#include <windows.h>

#include <vector>

namespace RealWindow {

namespace {

class DesktopScreen : public Screen {
 public:
  static HWND FindWindowOf(std::uint32_t processId, Ui::Size size) {
    struct Search {
      DWORD processId;
      Ui::Size size;
      HWND found;
    } search{processId, size, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          if (owner != s->processId || !IsWindowVisible(hwnd) || IsIconic(hwnd)) return TRUE;
          RECT client;
          if (!GetClientRect(hwnd, &client) || client.right != s->size.cx || client.bottom != s->size.cy)
            return TRUE;
          s->found = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  std::optional<Ui::Rect> WindowOf(std::uint32_t processId, Ui::Size size) override {
    const HWND hwnd = FindWindowOf(processId, size);
    POINT origin{0, 0};
    if (hwnd == nullptr || !ClientToScreen(hwnd, &origin)) return std::nullopt;
    return Ui::Rect{origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
  }

  // The big icon the window was given, else its class's: what Alt+Tab and
  // the taskbar show.
  std::optional<Ui::Size> IconOf(std::uint32_t processId, Ui::Size size) override {
    const HWND hwnd = FindWindowOf(processId, size);
    if (hwnd == nullptr) return std::nullopt;
    auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    if (icon == nullptr) icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICON));
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return std::nullopt;
    BITMAP bitmap{};
    const bool measured = GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap),
                                     &bitmap) != 0;
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    if (!measured) return std::nullopt;
    return Ui::Size{bitmap.bmWidth, bitmap.bmHeight};
  }

  Picture Capture(const Ui::Rect& r) override {
    Picture picture;
    if (r.IsEmpty()) return picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = r.Width();
    info.bmiHeader.biHeight = -r.Height();  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
      HGDIOBJ old = SelectObject(memory, bitmap);
      if (BitBlt(memory, 0, 0, r.Width(), r.Height(), screen, r.left, r.top, SRCCOPY)) {
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        picture.width = r.Width();
        picture.height = r.Height();
        picture.pixels.assign(p, p + static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()));
        for (std::uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
      }
      SelectObject(memory, old);
      DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
  }

  void PressKey(int key, Ui::KeyModifiers modifiers) override {
    std::vector<WORD> held;
    if (modifiers.control) held.push_back(VK_CONTROL);
    if (modifiers.shift) held.push_back(VK_SHIFT);
    if (modifiers.alt) held.push_back(VK_MENU);
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = vk;
      input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
      inputs.push_back(input);
    };
    for (WORD vk : held) add(vk, false);
    add(static_cast<WORD>(key), false);
    add(static_cast<WORD>(key), true);
    for (auto it = held.rbegin(); it != held.rend(); ++it) add(*it, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  }

  void Click(Ui::Point screen) override {
    MovePointer(screen);
    INPUT inputs[2]{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
  }

  void MovePointer(Ui::Point screen) override {
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    const long long width = GetSystemMetrics(SM_CXSCREEN);
    const long long height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65535LL + width / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((screen.y * 65535LL + height / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
  }
};

}  // namespace

std::unique_ptr<Screen> Screen::Open(std::string& error) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const bool underWine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  char display[64];
  if (underWine && GetEnvironmentVariableA("DISPLAY", display, sizeof(display)) == 0) {
    error = "Wine has no X display: DISPLAY is not set";
    return nullptr;
  }
  return std::make_unique<DesktopScreen>();
}

bool EndProcess(std::uint32_t processId) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
  if (process == nullptr) return false;
  const bool ended = TerminateProcess(process, 1) != 0;
  CloseHandle(process);
  return ended;
}

}  // namespace RealWindow
