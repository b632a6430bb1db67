#include <windows.h>

#include "support/text.h"

namespace Utils {

std::wstring ToWide(const std::string& text, unsigned codePage) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(codePage, 0, text.c_str(), -1, result.data(), length) != length) return {};
  result.resize(static_cast<std::size_t>(length - 1));
  return result;
}

std::string ToNarrow(const std::wstring& text, unsigned codePage) {
  if (text.empty()) return {};
  const int length =
      WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string result(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(codePage, 0, text.c_str(), -1, result.data(), length, nullptr,
                          nullptr) != length)
    return {};
  result.resize(static_cast<std::size_t>(length - 1));
  return result;
}

}  // namespace Utils
