#include "install/install_folder.h"

#include <cwctype>
#include <vector>

#include "support/file_system.h"

namespace Installer {

bool IsValidInstallFolder(const std::wstring& folder) {
  if (folder.empty()) return false;
  for (std::size_t i = 0; i < folder.size(); ++i) {
    const wchar_t c = folder[i];
    if (c < 32 || c == L'"' || c == L'<' || c == L'>' || c == L'|' || c == L'?' || c == L'*') {
      return false;
    }
    if (c == L':' && !(i == 1 && std::iswalpha(folder[0]))) return false;
  }
  return true;
}

namespace {

// The levels of a path with "." dropped and ".." applied; `rooted` tells
// whether it starts at a root (a separator, or a drive and a separator).
std::vector<std::wstring> Levels(const std::wstring& path, std::wstring& root) {
  std::size_t start = 0;
  root.clear();
  if (path.size() >= 2 && path[1] == L':') {
    root = path.substr(0, 2);
    start = 2;
  }
  if (start < path.size() && Utils::IsPathSeparator(path[start])) {
    root += L'/';
    ++start;
  }
  std::vector<std::wstring> levels;
  std::wstring level;
  auto flush = [&] {
    if (level == L"..") {
      if (!levels.empty() && levels.back() != L"..") {
        levels.pop_back();
      } else if (root.empty()) {
        levels.push_back(level);
      }
    } else if (!level.empty() && level != L".") {
      levels.push_back(level);
    }
    level.clear();
  };
  for (std::size_t i = start; i < path.size(); ++i) {
    if (Utils::IsPathSeparator(path[i])) {
      flush();
    } else {
      level += path[i];
    }
  }
  flush();
  return levels;
}

std::wstring Folded(std::wstring text) {
#ifdef _WIN32
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
#endif
  return text;
}

}  // namespace

bool IsSameFolder(const std::wstring& first, const std::wstring& second) {
  if (first.empty() || second.empty()) return false;
  std::wstring firstRoot;
  std::wstring secondRoot;
  const std::vector<std::wstring> a = Levels(first, firstRoot);
  const std::vector<std::wstring> b = Levels(second, secondRoot);
  if (Folded(firstRoot) != Folded(secondRoot) || a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

bool IsCrashExitCode(std::uint32_t exitCode) {
#ifdef _WIN32
  return exitCode >= 0xC0000000u;
#else
  switch (exitCode) {
    case 128 + 4:   // SIGILL
    case 128 + 6:   // SIGABRT
    case 128 + 7:   // SIGBUS
    case 128 + 8:   // SIGFPE
    case 128 + 9:   // SIGKILL
    case 128 + 11:  // SIGSEGV
      return true;
    default:
      return false;
  }
#endif
}

std::wstring ParentFolder(const std::wstring& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (Utils::IsPathSeparator(path[i - 1])) return path.substr(0, i - 1);
  }
  return {};
}

}  // namespace Installer
