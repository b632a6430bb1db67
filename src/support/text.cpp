#include "support/text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <string_view>

namespace Utils {
namespace {

bool IsTrimmedSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

}  // namespace

std::wstring Trim(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsTrimmedSpace(text[begin])) ++begin;
  while (end > begin && IsTrimmedSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.find(prefix) == 0;
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& search,
                        const std::wstring& replacement) {
  if (search.empty()) return text;
  if (replacement.find(search) != std::wstring::npos) {
    // Restarting at the front would find the replacement again forever.
    std::size_t at = 0;
    while ((at = text.find(search, at)) != std::wstring::npos) {
      text.replace(at, search.size(), replacement);
      at += replacement.size();
    }
    return text;
  }
  for (std::size_t at = text.find(search); at != std::wstring::npos; at = text.find(search))
    text.replace(at, search.size(), replacement);
  return text;
}

std::wstring UrlEncode(const std::wstring& address) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string bytes = ToNarrow(address, kCodePageUtf8);
  std::string encoded;
  encoded.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x21 && byte <= 0x7E) {
      encoded += c;
    } else if (byte == 0x20) {
      encoded += '+';
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return ToWide(encoded, kCodePageUtf8);
}

int ParseDecimalInt(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && IsTrimmedSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return static_cast<int>(-value < INT_MIN ? INT_MIN : -value);
  return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

std::optional<double> ParseDecimalDouble(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && IsTrimmedSpace(text[i])) ++i;
  // Only ASCII can continue a number; anything else ends it.
  std::string ascii;
  for (; i < text.size() && text[i] > 0x20 && text[i] < 0x7F; ++i)
    ascii += static_cast<char>(text[i]);
  bool negative = false;
  std::size_t start = 0;
  if (!ascii.empty() && (ascii[0] == '+' || ascii[0] == '-')) {
    negative = ascii[0] == '-';
    start = 1;
  }
  if (start < ascii.size() && (ascii[start] == '+' || ascii[start] == '-')) return std::nullopt;
  double value = 0;
  const char* first = ascii.data() + start;
  const char* last = ascii.data() + ascii.size();
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ptr == first) return std::nullopt;
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow keeps its sign as infinity; underflow (a negative exponent) is zero.
    const std::string_view number(first, static_cast<std::size_t>(result.ptr - first));
    const std::size_t exponent = number.find_first_of("eE");
    const bool tiny = exponent != std::string_view::npos && exponent + 1 < number.size() &&
                      number[exponent + 1] == '-';
    value = tiny ? 0.0 : HUGE_VAL;
  }
  return negative ? -value : value;
}

}  // namespace Utils
