#include "ui/skin_package.h"

#include "support/debug_log.h"
#include "ui/embedded_skin.h"

namespace Ui {

const SkinArchive* TheSkinPackage() {
  // Opened by the first window that asks, once even if two threads ask
  // together, and never freed: windows may read from it until the very end.
  static const SkinArchive* const package = [] {
    const std::span<const unsigned char> bytes = EmbeddedSkinBytes();
    std::unique_ptr<SkinArchive> archive = SkinArchive::Open(bytes.data(), bytes.size());
    if (archive == nullptr) {
      DEBUG_LOG(L"skin package unreadable, size=%lld", static_cast<long long>(bytes.size()));
    } else {
      DEBUG_LOG(L"skin package opened: size=%lld files=%lld", static_cast<long long>(bytes.size()),
                static_cast<long long>(archive->Names().size()));
    }
    return archive.release();
  }();
  return package;
}

std::optional<std::string_view> ReadSkinFile(const std::wstring& path) {
  const SkinArchive* package = TheSkinPackage();
  if (package == nullptr) return std::nullopt;
  return package->Find(path);
}

std::function<std::optional<std::string_view>(const std::wstring& path)> SkinPackageReader() {
  return [](const std::wstring& path) { return ReadSkinFile(path); };
}

}  // namespace Ui
