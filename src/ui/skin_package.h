// The skin package: a 7z archive of layouts and images carried inside the
// executable (a resource on Windows, linked-in bytes on Linux), opened once
// per process and held decompressed in memory.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Ui {

class SkinArchive {
 public:
  // Parses the archive and decompresses every file entry. nullptr when the
  // bytes are not a readable 7z archive (corrupt or truncated input never
  // crashes: it simply gives no archive).
  static std::unique_ptr<SkinArchive> Open(const void* data, std::size_t size);

  // The bytes of the entry named `path`: backslashes count as slashes, case
  // is ignored, the length must match exactly. nullopt means "not found".
  // The view stays valid as long as the archive.
  std::optional<std::string_view> Find(const std::wstring& path) const;

  // Entry names in archive order (folders excluded), with forward slashes.
  std::vector<std::wstring> Names() const;

  ~SkinArchive();

 private:
  SkinArchive();
  struct Entry;
  std::vector<Entry> entries_;
};

// The package embedded in this program, opened on first use and kept until
// the process ends; nullptr when it is missing or unreadable.
const SkinArchive* TheSkinPackage();

// A file of the embedded package, or nullopt ("not found", also when there
// is no package).
std::optional<std::string_view> ReadSkinFile(const std::wstring& path);

// The skin package of this program as a window's file reader.
std::function<std::optional<std::string_view>(const std::wstring& path)> SkinPackageReader();

}  // namespace Ui
