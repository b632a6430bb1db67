// Text helpers shared by the download and installation code.
#pragma once

#include <optional>
#include <string>

namespace Utils {

// Code pages the callers name. On Linux 0 is the locale's character set
// (UTF-8 when the locale names none); other numbers map to iconv's "CP<n>".
inline constexpr unsigned kCodePageAnsi = 0;
inline constexpr unsigned kCodePageUtf8 = 65001;

// Conversions between wide strings and narrow strings in `codePage`. A
// character the target cannot represent becomes the default character; an
// empty input or a failed conversion gives an empty result.
std::wstring ToWide(const std::string& text, unsigned codePage);
std::string ToNarrow(const std::wstring& text, unsigned codePage);

// Removes space, tab, line feed, vertical tab, form feed and carriage return
// from both ends.
std::wstring Trim(const std::wstring& text);

// True when `prefix` first occurs at position 0 (an empty prefix matches).
bool StartsWith(const std::wstring& text, const std::wstring& prefix);

// Replaces the first occurrence of `search`, searching from the start again
// after each replacement, until none is left. An empty `search` changes
// nothing; a replacement that contains `search` is applied in one left-to-right
// pass, since restarting would never end.
std::wstring ReplaceAll(std::wstring text, const std::wstring& search,
                        const std::wstring& replacement);

// Percent-encodes an address: UTF-8 bytes 0x21..0x7E stay, a space becomes
// "+", every other byte "%XX" with upper-case hexadecimal digits.
std::wstring UrlEncode(const std::wstring& address);

}  // namespace Utils

namespace Utils {

// Decimal integer conversion: optional leading white space and sign, then the
// leading digits; 0 without digits; saturated to the 32-bit range.
int ParseDecimalInt(const std::wstring& text);

// Decimal floating-point conversion of the longest leading number (white
// space skipped, independent of the locale). nullopt when no number starts
// the text. "inf" and "nan" convert to infinity and NaN.
std::optional<double> ParseDecimalDouble(const std::wstring& text);

}  // namespace Utils
