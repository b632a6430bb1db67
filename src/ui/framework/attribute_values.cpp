#include "ui/framework/attribute_values.h"

#include <cstdint>

namespace Ui {
namespace {

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Reads one integer at `pos`, moves `pos` past it and past one separator.
int ReadInt(std::wstring_view text, std::size_t& pos) {
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == L'-' || text[pos] == L'+')) negative = text[pos++] == L'-';
  long long value = 0;
  while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
    if (value <= kMaxCoordinate) value = value * 10 + (text[pos] - L'0');
    ++pos;
  }
  if (value > kMaxCoordinate) value = kMaxCoordinate;
  while (pos < text.size() && text[pos] != L',') ++pos;
  if (pos < text.size()) ++pos;  // the comma
  return static_cast<int>(negative ? -value : value);
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  c = LowerAscii(c);
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

}  // namespace

int ParseIntValue(std::wstring_view text) {
  std::size_t pos = 0;
  return ReadInt(text, pos);
}

Rect ParseRectValue(std::wstring_view text) {
  std::size_t pos = 0;
  Rect r;
  r.left = ReadInt(text, pos);
  r.top = ReadInt(text, pos);
  r.right = ReadInt(text, pos);
  r.bottom = ReadInt(text, pos);
  return r;
}

Size ParseSizeValue(std::wstring_view text) {
  std::size_t pos = 0;
  Size s;
  s.cx = ReadInt(text, pos);
  s.cy = ReadInt(text, pos);
  return s;
}

std::optional<Color> ParseColorValue(std::wstring_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == L'#') {
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == L'0' && LowerAscii(text[1]) == L'x') {
    text.remove_prefix(2);
  }
  if (text.size() != 8 && text.size() != 6) return std::nullopt;
  std::uint32_t value = 0;
  for (wchar_t c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  if (text.size() == 6) value |= 0xFF000000u;
  return value;
}

bool ParseBoolValue(std::wstring_view text) { return NameEquals(text, L"true"); }

bool NameEquals(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace Ui
