// Opening a program or an address the way the desktop's shell does, without
// waiting for it.
#pragma once

#include <string>

namespace Installer {

enum class ShowStyle { kNormal, kMaximized };

// A program file is started directly (in `workingFolder` when given); any
// other target (an address, a document) goes to the desktop's opener
// (Windows: the shell's "open" verb; Linux: xdg-open). False when nothing
// could be started.
bool ShellOpen(const std::wstring& target, const std::wstring& workingFolder = L"",
               ShowStyle style = ShowStyle::kNormal);

}  // namespace Installer
