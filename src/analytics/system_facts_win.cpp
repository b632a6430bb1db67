#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "analytics/system_facts.h"
#include "support/os_version.h"
#include "support/process_info.h"
#include "support/text.h"

namespace zorvan::analytics {

OsNameAndVersion QueryOsNameAndVersion() {
  OsNameAndVersion os;
  os.name = "Windows";
  os.is64Bit = Utils::IsOs64Bit();
  os.version = "XP-";
  HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
  if (ntdll == nullptr) return os;
  using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
  auto getNumbers = reinterpret_cast<RtlGetNtVersionNumbersFn>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
  if (getNumbers != nullptr) {
    DWORD major = 0, minor = 0, build = 0;
    getNumbers(&major, &minor, &build);
    os.version = AnalyticsWindowsVersion(major, minor, build & 0xFFFF, os.is64Bit,
                                         GetSystemMetrics(SM_SERVERR2) != 0);
  }
  FreeLibrary(ntdll);
  return os;
}

LocaleParts QuerySystemLocale() {
  LocaleParts parts;
  char language[16] = {};
  char country[16] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language, sizeof language) > 0 &&
      GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, country, sizeof country) > 0) {
    parts.language = language;
    parts.country = country;
    parts.text = parts.language + "_" + parts.country;
  }
  return parts;
}

bool QueryGuidBytes(unsigned char bytes[16]) {
  GUID guid{};
  if (FAILED(CoCreateGuid(&guid))) return false;
  std::memcpy(bytes, &guid, 16);
  return true;
}

void QueryScreenSize(std::int32_t& width, std::int32_t& height) {
  width = GetSystemMetrics(SM_CXSCREEN);
  height = GetSystemMetrics(SM_CYSCREEN);
}

std::string QueryUserDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return std::string();
  }
  return Utils::ToNarrow(folder, Utils::kCodePageUtf8);
}

const char* PlatformName() { return "Windows"; }

std::string QueryLocalAppDataFolder() {
  // Windows before 7 keeps per-user data of services out of reach; the
  // common documents folder serves there.
  std::wstring systemName, versionName;
  Utils::GetOsVersion(systemName, versionName);
  const bool oldSystem = versionName.find(L"XP") != std::wstring::npos || versionName == L"2K" ||
                         versionName.rfind(L"Server 2003", 0) == 0 || versionName == L"Vista";
  wchar_t folder[MAX_PATH] = {};
  const int id = oldSystem ? CSIDL_COMMON_DOCUMENTS : CSIDL_LOCAL_APPDATA;
  if (FAILED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder))) return std::string();
  wchar_t shortForm[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(folder, shortForm, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return Utils::ToNarrow(shortForm, Utils::kCodePageUtf8);
}

std::string QueryExecutableFolder() {
  const std::wstring path = Utils::GetExecutablePath();
  const std::size_t separator = path.find_last_of(L"\\/");
  return Utils::ToNarrow(separator == std::wstring::npos ? std::wstring() : path.substr(0, separator),
                         Utils::kCodePageUtf8);
}

}  // namespace zorvan::analytics
