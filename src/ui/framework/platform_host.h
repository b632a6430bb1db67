// The hosts of this system's real windows: SDL2 on Linux (sdl_host_posix.cpp),
// Win32 on Windows (win32_host_win.cpp, with the drop shadow of
// win32_shadow_win.cpp). One factory serves the windows of one thread.
#pragma once

#include <memory>

#include "ui/framework/geometry.h"
#include "ui/framework/host.h"

namespace Ui {

class Window;

// nullptr when the window system cannot be reached (Linux without an X
// display). The factory must outlive every window it made a host for.
std::unique_ptr<IHostFactory> CreatePlatformHostFactory();

// Where the window's client area is on the screen; empty when the window has
// no platform host or no longer shows.
Rect ScreenRectOf(const Window& window);

}  // namespace Ui
