#include <windows.h>

#include <string>

#include "app/dll_hardening.h"

namespace Installer {

namespace {

constexpr const wchar_t* kPreloadedLibraries[] = {
    L"ieframe.dll", L"version.dll", L"sxs.dll", L"ws2help.dll", L"dwmapi.dll",
    L"msimg32.dll", L"d3d8.dll",    L"ws2_32.dll", L"WindowsCodecs.dll"};

}  // namespace

void HardenDllSearchPath() {
  // Missing before Windows 8 without its update: the other steps still help.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  SetDllDirectoryW(L"");

  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  for (const wchar_t* name : kPreloadedLibraries) {
    const std::wstring path = std::wstring(folder) + L"\\" + name;
    LoadLibraryW(path.c_str());  // failures are harmless: the library is simply not there
  }
}

}  // namespace Installer
