#include <windows.h>
#include <io.h>
#include <objbase.h>

#include <cstdio>

#include "app/console_platform.h"
#include "support/system_probes.h"

namespace Installer {

bool HasDisplay() { return true; }

bool StandardErrorIsTerminal() {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) {
    // Started from a console without redirection: write to that console.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    FILE* reopened = nullptr;
    if (freopen_s(&reopened, "CONOUT$", "w", stderr) != 0) return false;
    error = GetStdHandle(STD_ERROR_HANDLE);
  }
  DWORD mode = 0;
  return error != nullptr && error != INVALID_HANDLE_VALUE && GetConsoleMode(error, &mode) != 0;
}

std::uint32_t CheckNetworkHere() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::uint32_t verdict = Utils::CheckNetwork();
  if (SUCCEEDED(com)) CoUninitialize();
  return verdict;
}

}  // namespace Installer
