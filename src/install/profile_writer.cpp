#include "install/profile_writer.h"

#include <cwctype>
#include <vector>

#include "support/text.h"

namespace Installer {

namespace {

std::wstring Folded(const std::wstring& text) {
  std::wstring folded = Utils::Trim(text);
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
  return folded;
}

std::wstring Stored(const std::wstring& value) {
  if (value.empty()) return value;
  const auto edge = [](wchar_t c) { return std::iswspace(c) || c == L'"' || c == L'\''; };
  if (edge(value.front()) || edge(value.back())) return L"\"" + value + L"\"";
  return value;
}

}  // namespace

std::wstring SetProfileValue(const std::wstring& fileText, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value) {
  std::vector<std::wstring> lines;
  for (std::size_t start = 0; start < fileText.size();) {
    std::size_t end = fileText.find(L'\n', start);
    if (end == std::wstring::npos) end = fileText.size();
    std::wstring line = fileText.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  const std::wstring entry = key + L"=" + Stored(value);
  const std::wstring wantedSection = Folded(section);
  const std::wstring wantedKey = Folded(key);
  bool inSection = false;
  std::size_t sectionEnd = lines.size();
  bool found = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::wstring trimmed = Utils::Trim(lines[i]);
    if (!trimmed.empty() && trimmed.front() == L'[') {
      if (inSection) {
        sectionEnd = i;
        break;
      }
      const std::size_t close = trimmed.find(L']');
      inSection = close != std::wstring::npos && Folded(trimmed.substr(1, close - 1)) == wantedSection;
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = trimmed.find(L'=');
    if (equals != std::wstring::npos && Folded(trimmed.substr(0, equals)) == wantedKey) {
      lines[i] = entry;
      found = true;
      break;
    }
  }
  if (!found) {
    if (inSection) {
      // Keep the entry before the blank lines that end the section.
      std::size_t at = sectionEnd;
      while (at > 0 && Utils::Trim(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    } else {
      lines.push_back(L"[" + section + L"]");
      lines.push_back(entry);
    }
  }
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\n";
  return text;
}

}  // namespace Installer
