#include "install/console_protocol.h"

#include <cwctype>
#include <limits>

#include "support/text.h"

namespace Installer {

void LineAssembler::Feed(const char* bytes, std::size_t count) {
  std::size_t used = 0;
  while (used < count && bytes[used] != '\0') ++used;
  pending_.append(bytes, used);
}

std::vector<std::string> LineAssembler::TakeLines() {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t feed = pending_.find('\n'); feed != std::string::npos;
       feed = pending_.find('\n', start)) {
    lines.push_back(pending_.substr(start, feed - start));
    start = feed + 1;
  }
  pending_.erase(0, start);
  return lines;
}

std::string LineAssembler::TakeRest() {
  std::string rest;
  rest.swap(pending_);
  return rest;
}

std::wstring ProtocolText(const std::wstring& line, std::size_t keyLength) {
  if (line.size() <= keyLength) return {};
  std::wstring text = line.substr(keyLength);
  const std::size_t feed = text.find(L'\n');
  if (feed != std::wstring::npos) text.resize(feed);
  while (!text.empty() && text.back() == L'\r') text.pop_back();
  if (text.size() > kProtocolTextCapacity) text.resize(kProtocolTextCapacity);
  return text;
}

double ProtocolNumber(const std::wstring& line, std::size_t keyLength) {
  if (line.size() <= keyLength) return 0.0;
  return Utils::ParseDecimalDouble(line.substr(keyLength)).value_or(0.0);
}

double ProtocolFraction(const std::wstring& line, std::size_t keyLength) {
  const double number = ProtocolNumber(line, keyLength);
  if (!(number > 0.0)) return 0.0;  // NaN too
  return number < 1.0 ? number : 1.0;
}

std::int32_t ProtocolInteger(const std::wstring& line, std::size_t keyLength) {
  if (line.size() <= keyLength) return 0;
  return Utils::ParseDecimalInt(line.substr(keyLength));
}

std::int32_t EncodeCodePage(const std::wstring& trimmedValue, bool numbers) {
  if (trimmedValue == L"UTF8") return 65001;
  if (!numbers || trimmedValue == L"ACP") return 0;
  std::size_t i = 0;
  while (i < trimmedValue.size() && std::iswspace(trimmedValue[i])) ++i;
  bool negative = false;
  if (i < trimmedValue.size() && (trimmedValue[i] == L'+' || trimmedValue[i] == L'-')) {
    negative = trimmedValue[i] == L'-';
    ++i;
  }
  const std::size_t digitsStart = i;
  std::int64_t magnitude = 0;
  for (; i < trimmedValue.size() && trimmedValue[i] >= L'0' && trimmedValue[i] <= L'9'; ++i) {
    magnitude = magnitude * 10 + (trimmedValue[i] - L'0');
    if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return 0;
  }
  if (i == digitsStart) return 0;
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::int32_t>(value);
}

}  // namespace Installer
