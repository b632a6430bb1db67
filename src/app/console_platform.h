// What the unattended mode needs to know about where it runs: whether a
// window could be shown at all, whether standard error is a terminal, and a
// network check that can run on the calling thread.
#pragma once

#include <cstdint>

namespace Installer {

// The answer for the display variables of a freedesktop session: a display
// is there when either names one (an empty value names none).
bool DisplayNamed(const char* x11Display, const char* waylandDisplay);

// Windows always has its desktop; Linux asks $DISPLAY and $WAYLAND_DISPLAY.
bool HasDisplay();

// True when standard error is a terminal, where a progress bar can redraw
// itself in one line. On Windows a program of the window subsystem has no
// standard error of its own: when it was started without one, the console of
// the program that started it (if any) takes its place.
bool StandardErrorIsTerminal();

// Utils::CheckNetwork with whatever the system needs on this thread around it
// (COM on Windows).
std::uint32_t CheckNetworkHere();

}  // namespace Installer
