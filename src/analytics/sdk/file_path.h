// Analytics paths are UTF-8 texts; the file streams need the system's form.
#pragma once

#include <filesystem>
#include <string>

#include "support/text.h"

namespace zv_transport {

inline std::filesystem::path FilePath(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(Utils::ToWide(utf8, Utils::kCodePageUtf8));
#else
  return std::filesystem::path(utf8);
#endif
}

}  // namespace zv_transport
