// The product's data file, carried as the program's RCDATA resource 1.
#include <windows.h>

#include "demo.h"

namespace Demo {

std::span<const unsigned char> Payload() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (info == nullptr) return {};
  HGLOBAL handle = LoadResource(module, info);
  const void* data = handle == nullptr ? nullptr : LockResource(handle);
  if (data == nullptr) return {};
  return {static_cast<const unsigned char*>(data), SizeofResource(module, info)};
}

}  // namespace Demo
