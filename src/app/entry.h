// The program's entry and lifetime: the process-wide guards, libcurl, the
// single-instance lock, analytics and the command line; then the window or
// the unattended installation; then the shutdown in reverse.
#pragma once

#include <functional>
#include <optional>

namespace Installer {

// Runs the installer window modally and answers its close code; nothing when
// no window could be shown at all.
using WindowRunner = std::function<std::optional<int>()>;

// The whole run; answers the process's exit code (see ExitCode in
// app/unattended_install.h). An empty runner means this build has no window.
int RunInstallerProcess(const WindowRunner& runWindow);

}  // namespace Installer
