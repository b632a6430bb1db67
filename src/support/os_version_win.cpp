#include <windows.h>

#include "support/os_version.h"

namespace Utils {

void GetOsVersion(std::wstring& systemName, std::wstring& versionName) {
  systemName = L"Windows";
  versionName.clear();
  // The documented version calls lie to programs without a compatibility
  // manifest; this export reports the real numbers.
  HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
  if (ntdll == nullptr) {
    versionName = L"XP-";
    return;
  }
  using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
  auto getNumbers = reinterpret_cast<RtlGetNtVersionNumbersFn>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
  if (getNumbers != nullptr) {
    DWORD major = 0, minor = 0, build = 0;
    getNumbers(&major, &minor, &build);
    versionName = WindowsVersionName(major, minor, build & 0xFFFF, GetSystemMetrics(SM_SERVERR2) != 0);
  }
  FreeLibrary(ntdll);
}

bool IsOs64Bit() {
#if defined(_WIN64)
  // IsWow64Process answers false for a 64-bit process, yet such a process
  // runs only on a 64-bit system.
  return true;
#else
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  if (isWow64 == nullptr) return false;
  BOOL wow64 = FALSE;
  if (isWow64(GetCurrentProcess(), &wow64)) return wow64 != FALSE;
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
#endif
}

}  // namespace Utils
