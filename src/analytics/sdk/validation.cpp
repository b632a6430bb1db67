#include "analytics/sdk/validation.h"

#include <iostream>

namespace zv_transport {

namespace {

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool InRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

}  // namespace

bool CheckKey(const std::string& text, const char* label) {
  if (text.empty() || text.size() > 100) {
    std::cerr << "The " << label << " is empty or too long, max length is 100" << std::endl;
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool allowed = IsLetter(c) || c == '$' || c == '_' || (i > 0 && IsDigit(c));
    if (!allowed) {
      std::cerr << "The " << label << " need to be a valid variable name." << std::endl;
      return false;
    }
  }
  return true;
}

bool CheckIdentifier(const std::string& text, const char* label) {
  if (text.empty()) {
    std::cerr << "The " << label << " is empty." << std::endl;
    return false;
  }
  if (text.size() > 255) {
    std::cerr << "The " << label << " is too long, max length is 255." << std::endl;
    return false;
  }
  return true;
}

bool IsValidUtf8(const std::string& text) {
  const std::size_t size = text.size();
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  auto continuation = [&](std::size_t i, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return i < size && InRange(at(i), low, high);
  };
  for (std::size_t i = 0; i < size;) {
    const unsigned char c = at(i);
    if (c == 9 || c == 10 || c == 13 || InRange(c, 32, 126)) {
      i += 1;
    } else if (InRange(c, 0xC2, 0xDF)) {
      if (!continuation(i + 1)) return false;
      i += 2;
    } else if (c == 0xE0) {
      if (!continuation(i + 1, 0xA0, 0xBF) || !continuation(i + 2)) return false;
      i += 3;
    } else if (InRange(c, 0xE1, 0xEC) || InRange(c, 0xEE, 0xEF)) {
      if (!continuation(i + 1) || !continuation(i + 2)) return false;
      i += 3;
    } else if (c == 0xED) {
      if (!continuation(i + 1, 0x80, 0x9F) || !continuation(i + 2)) return false;
      i += 3;
    } else if (c == 0xF0) {
      if (!continuation(i + 1, 0x90, 0xBF) || !continuation(i + 2) || !continuation(i + 3)) return false;
      i += 4;
    } else if (InRange(c, 0xF1, 0xF3)) {
      if (!continuation(i + 1) || !continuation(i + 2) || !continuation(i + 3)) return false;
      i += 4;
    } else if (c == 0xF4) {
      if (!continuation(i + 1, 0x80, 0x8F) || !continuation(i + 2) || !continuation(i + 3)) return false;
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace zv_transport
