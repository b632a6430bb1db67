// The desktop folder choosers the custom page runs where the system has no
// folder dialog of its own: which to try, how to call them and how to read
// their answer. Free of system calls; folder_browser_posix.cpp runs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Installer {

enum class FolderChooser {
  kZenity,   // GNOME and most other desktops
  kKdialog,  // KDE
};

// The order to try the choosers in, given XDG_CURRENT_DESKTOP (a list of
// names separated by colons): KDE's own first on a KDE desktop, since it
// matches the rest of that desktop; otherwise zenity first.
std::vector<FolderChooser> FolderChooserOrder(const std::wstring& currentDesktop);

// The program's name as it is looked for on the search path.
std::wstring FolderChooserProgram(FolderChooser chooser);

// One argument quoted so that the Windows splitting rules ChildProcess
// applies give it back unchanged, whatever blanks, quotes or backslashes it
// holds.
std::wstring QuoteArgument(const std::wstring& argument);

// The command line that runs `programPath` (the chooser found on the search
// path) asking for a folder, titled `title`, starting in `startFolder`
// (nothing when empty). nullopt when the path cannot stand in a command line
// (a double quote in it).
std::optional<std::wstring> FolderChooserCommandLine(FolderChooser chooser, const std::wstring& programPath,
                                                     const std::wstring& title,
                                                     const std::wstring& startFolder);

// Where a chooser should open for the folder in the edit field: the folder
// itself or, as a new installation folder often does not exist yet, its
// nearest existing parent; empty when none exists.
std::wstring ExistingStartFolder(const std::wstring& folder);

// The folder a chooser answered: its output without the line feed ending
// it. nullopt when the person cancelled or the chooser failed (an exit code
// other than 0, or nothing printed).
std::optional<std::wstring> ChosenFolder(std::uint32_t exitCode, const std::wstring& output);

}  // namespace Installer
