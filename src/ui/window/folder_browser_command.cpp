#include "ui/window/folder_browser_command.h"

#include "support/file_system.h"

namespace Installer {

std::vector<FolderChooser> FolderChooserOrder(const std::wstring& currentDesktop) {
  std::size_t start = 0;
  while (start <= currentDesktop.size()) {
    std::size_t end = currentDesktop.find(L':', start);
    if (end == std::wstring::npos) end = currentDesktop.size();
    if (currentDesktop.compare(start, end - start, L"KDE") == 0) {
      return {FolderChooser::kKdialog, FolderChooser::kZenity};
    }
    start = end + 1;
  }
  return {FolderChooser::kZenity, FolderChooser::kKdialog};
}

std::wstring FolderChooserProgram(FolderChooser chooser) {
  return chooser == FolderChooser::kKdialog ? L"kdialog" : L"zenity";
}

std::wstring QuoteArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only before a quote: there they are doubled, and
    // one more makes the quote itself literal.
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // Before the closing quote, too.
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::optional<std::wstring> FolderChooserCommandLine(FolderChooser chooser, const std::wstring& programPath,
                                                     const std::wstring& title,
                                                     const std::wstring& startFolder) {
  // The program name runs from its opening quote to the next one: it has no
  // way to hold a quote of its own.
  if (programPath.empty() || programPath.find(L'"') != std::wstring::npos) return std::nullopt;
  std::wstring line = L"\"" + programPath + L"\"";
  if (chooser == FolderChooser::kKdialog) {
    line += L" --title " + QuoteArgument(title) + L" --getexistingdirectory";
    if (!startFolder.empty()) line += L" " + QuoteArgument(startFolder);
    return line;
  }
  line += L" --file-selection --directory " + QuoteArgument(L"--title=" + title);
  if (!startFolder.empty()) {
    // The trailing separator makes zenity open the folder itself rather
    // than its parent with the folder selected.
    std::wstring start = startFolder;
    if (start.back() != L'/') start += L'/';
    line += L" " + QuoteArgument(L"--filename=" + start);
  }
  return line;
}

std::wstring ExistingStartFolder(const std::wstring& folder) {
  std::wstring candidate = folder;
  while (!candidate.empty()) {
    if (Utils::DirectoryExists(candidate)) return candidate;
    std::size_t end = candidate.size();
    while (end > 0 && Utils::IsPathSeparator(candidate[end - 1])) --end;
    while (end > 0 && !Utils::IsPathSeparator(candidate[end - 1])) --end;
    candidate.resize(end);
  }
  return candidate;
}

std::optional<std::wstring> ChosenFolder(std::uint32_t exitCode, const std::wstring& output) {
  if (exitCode != 0) return std::nullopt;
  std::wstring folder = output;
  if (!folder.empty() && folder.back() == L'\n') folder.pop_back();
  if (folder.empty()) return std::nullopt;
  return folder;
}

}  // namespace Installer
