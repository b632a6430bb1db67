#include "app/single_instance.h"

namespace Installer {

std::wstring SingleInstanceName(const std::wstring& productName) {
  return L"D1A547DB89C0BC61_" + std::wstring(L"Installer_") + productName;
}

}  // namespace Installer
