#include "support/profile_file.h"

#include <cwctype>

#include "support/text.h"

namespace Utils {
namespace {

bool IsProfileSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r' ||
         c == 0x1A;
}

std::wstring TrimProfile(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileSpace(text[begin])) ++begin;
  while (end > begin && IsProfileSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
      return false;
  return true;
}

std::wstring CutToCapacity(std::wstring text) {
  if (text.size() > kProfileValueCapacity - 1) text.resize(kProfileValueCapacity - 1);
  return text;
}

}  // namespace

std::optional<std::wstring> FindProfileValue(const std::wstring& fileText,
                                             const std::wstring& section,
                                             const std::wstring& key) {
  bool inSection = false;
  std::size_t start = 0;
  while (start <= fileText.size()) {
    std::size_t end = fileText.find(L'\n', start);
    if (end == std::wstring::npos) end = fileText.size();
    const std::wstring line = TrimProfile(fileText.substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line[0] == L'[') {
      const std::size_t close = line.rfind(L']');
      if (close != std::wstring::npos) {
        // Only the first section of a name is searched.
        if (inSection) return std::nullopt;
        inSection = EqualsIgnoringCase(TrimProfile(line.substr(1, close - 1)), section);
        continue;
      }
    }
    if (!inSection || line.empty()) continue;
    // A line without "=" names no value.
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    if (!EqualsIgnoringCase(TrimProfile(line.substr(0, equals)), key)) continue;
    return TrimProfile(line.substr(equals + 1));
  }
  return std::nullopt;
}

std::wstring CleanProfileValue(const std::wstring& raw) {
  std::wstring value = TrimProfile(raw);
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return CutToCapacity(value);
}

std::wstring ReadProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& defaultValue, const std::wstring& filePath) {
  if (auto value = ReadProfileValue(section, key, filePath)) return *value;
  std::wstring fallback = defaultValue;
  while (!fallback.empty() && fallback.back() == L' ') fallback.pop_back();
  return CutToCapacity(fallback);
}

int ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                   const std::wstring& filePath) {
  const auto value = ReadProfileValue(section, key, filePath);
  return value ? ParseDecimalInt(*value) : defaultValue;
}

}  // namespace Utils
