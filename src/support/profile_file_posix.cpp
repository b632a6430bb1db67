#include <fstream>
#include <iterator>

#include "support/profile_file.h"
#include "support/text.h"

namespace Utils {

// Settings files are read in the locale's character set (UTF-8 normally); a
// UTF-8 byte-order mark, as Windows editors write it, is skipped.
std::optional<std::wstring> ReadProfileValue(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& filePath) {
  std::ifstream in(ToNarrow(filePath, kCodePageAnsi), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  unsigned codePage = kCodePageAnsi;
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
    bytes.erase(0, 3);
    codePage = kCodePageUtf8;
  }
  const auto raw = FindProfileValue(ToWide(bytes, codePage), section, key);
  if (!raw) return std::nullopt;
  return CleanProfileValue(*raw);
}

}  // namespace Utils
