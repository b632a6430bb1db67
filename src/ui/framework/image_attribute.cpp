// The image attribute of the layouts: a plain path, or modifiers written as
// key='value' pairs separated by spaces.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "ui/framework/image.h"

namespace Ui {

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// A whole decimal integer, optionally signed and surrounded by spaces; nothing
// else is accepted, so "12px" or "" are not numbers.
std::optional<int> ParseInt(std::wstring_view text) {
  text = Trimmed(text);
  bool negative = false;
  if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
    negative = text.front() == L'-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  return negative ? -value : value;
}

// Four integers separated by commas: "left,top,right,bottom".
std::optional<Rect> ParseRect(std::wstring_view text) {
  int values[4];
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = text.find(L',');
    if ((i < 3) == (comma == std::wstring_view::npos)) return std::nullopt;
    auto value = ParseInt(text.substr(0, comma));
    if (!value) return std::nullopt;
    values[i] = *value;
    if (i < 3) text.remove_prefix(comma + 1);
  }
  return Rect{values[0], values[1], values[2], values[3]};
}

// "#RRGGBB", "#AARRGGBB" or the same behind "0x"; the mask compares colour only.
std::optional<Color> ParseColor(std::wstring_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == L'#') {
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    text.remove_prefix(2);
  }
  if (text.size() != 6 && text.size() != 8) return std::nullopt;
  Color value = 0;
  for (wchar_t c : text) {
    unsigned digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<unsigned>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<unsigned>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<unsigned>(c - L'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value << 4 | digit;
  }
  return value & 0x00FFFFFFu;
}

void Apply(ImageAttribute& attribute, std::wstring_view key, std::wstring_view value) {
  if (key == L"file") {
    attribute.file = std::wstring(Trimmed(value));
  } else if (key == L"source") {
    if (auto r = ParseRect(value)) attribute.source = *r;
  } else if (key == L"dest") {
    if (auto r = ParseRect(value)) attribute.dest = *r;
  } else if (key == L"corner") {
    if (auto r = ParseRect(value)) {
      attribute.corner = {std::max(r->left, 0), std::max(r->top, 0), std::max(r->right, 0),
                     std::max(r->bottom, 0)};
    }
  } else if (key == L"mask") {
    if (auto c = ParseColor(value)) attribute.mask = *c;
  } else if (key == L"fade") {
    if (auto f = ParseInt(value)) attribute.fade = static_cast<std::uint8_t>(std::clamp(*f, 0, 255));
  } else if (key == L"hole") {
    attribute.hole = value == L"true";
  } else if (key == L"xtiled") {
    attribute.xtiled = value == L"true";
  } else if (key == L"ytiled") {
    attribute.ytiled = value == L"true";
  }
}

}  // namespace

std::optional<ImageAttribute> ParseImageAttribute(std::wstring_view value) {
  value = Trimmed(value);
  if (value.empty()) return std::nullopt;
  ImageAttribute attribute;
  if (value.find(L"file=") == std::wstring_view::npos) {
    attribute.file = std::wstring(value);
    return attribute;
  }
  while (true) {
    while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
    if (value.empty()) break;
    const std::size_t equals = value.find(L'=');
    if (equals == std::wstring_view::npos) break;  // a trailing word without a value
    const std::wstring_view key = Trimmed(value.substr(0, equals));
    value.remove_prefix(equals + 1);
    while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
    std::wstring_view item;
    if (!value.empty() && (value.front() == L'\'' || value.front() == L'"')) {
      const wchar_t quote = value.front();
      value.remove_prefix(1);
      const std::size_t end = value.find(quote);  // unclosed: the rest is the value
      item = value.substr(0, end);
      value.remove_prefix(end == std::wstring_view::npos ? value.size() : end + 1);
    } else {
      std::size_t end = 0;
      while (end < value.size() && !IsSpace(value[end])) ++end;
      item = value.substr(0, end);
      value.remove_prefix(end);
    }
    Apply(attribute, key, item);
  }
  if (attribute.file.empty()) return std::nullopt;
  return attribute;
}

}  // namespace Ui
