#include "ui/embedded_skin.h"

#include <windows.h>

#include <vector>

namespace Ui {

namespace {

// Resource type "ZIPRES", id 147, language Chinese (PRC): the names the
// skin's windows are described by.
constexpr wchar_t kSkinResourceType[] = L"ZIPRES";
constexpr WORD kSkinResourceId = 147;

std::span<const unsigned char> CopyOfSkinResource() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceExW(module, kSkinResourceType, MAKEINTRESOURCEW(kSkinResourceId),
                               MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
  if (info == nullptr) return {};
  HGLOBAL handle = LoadResource(module, info);
  if (handle == nullptr) return {};
  const void* data = LockResource(handle);
  const DWORD size = SizeofResource(module, info);
  if (data == nullptr || size == 0) return {};
  // Never freed: the archive reader may be handed these bytes at any time
  // until the process ends.
  const auto* bytes = static_cast<const unsigned char*>(data);
  auto* copy = new std::vector<unsigned char>(bytes, bytes + size);
  return {copy->data(), copy->size()};
}

}  // namespace

std::span<const unsigned char> EmbeddedSkinBytes() {
  static const std::span<const unsigned char> bytes = CopyOfSkinResource();
  return bytes;
}

}  // namespace Ui
