// The folder chooser of the custom page.
#pragma once

#include <optional>
#include <string>

namespace Installer {

// Asks the user for a folder, titled `title`, starting at `initial`. nullopt
// when the user cancels or the system offers no chooser. Linux has no
// toolkit of ours for it: the call logs that and the edit field stays the
// way to give a folder.
std::optional<std::wstring> BrowseForFolder(const std::wstring& title, const std::wstring& initial);

}  // namespace Installer
