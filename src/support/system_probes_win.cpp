#include "support/system_probes.h"

#include <windows.h>
#include <objbase.h>
#include <lm.h>
#include <netlistmgr.h>
#include <tlhelp32.h>
#include <wtsapi32.h>

#include <cstring>

#include "support/debug_log.h"

namespace Utils {
namespace {

// Spelled out here so that the build does not depend on which import library
// of the toolchain happens to carry them.
constexpr CLSID kNetworkListManagerClass = {
    0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr IID kNetworkListManagerInterface = {
    0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};

std::uint32_t AskNetworkListManager() {
  INetworkListManager* manager = nullptr;
  if (FAILED(CoCreateInstance(kNetworkListManagerClass, nullptr, CLSCTX_ALL,
                              kNetworkListManagerInterface,
                              reinterpret_cast<void**>(&manager))) ||
      manager == nullptr) {
    return ComposeNetworkVerdict(false, 0, false);
  }
  // A manager that cannot answer is treated like one that cannot be created:
  // the installer must not refuse to run because the question failed.
  bool answered = false;
  NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
  VARIANT_BOOL connected = VARIANT_FALSE;
  if (SUCCEEDED(manager->GetConnectivity(&connectivity))) {
    if (connectivity == NLM_CONNECTIVITY_DISCONNECTED) {
      DEBUG_LOG(L"GetConnectivity %d", static_cast<int>(connectivity));
      answered = true;
    } else if (SUCCEEDED(manager->IsConnectedToInternet(&connected))) {
      if (connected == VARIANT_FALSE) {
        DEBUG_LOG(L"get_IsConnectedToInternet:%d", static_cast<int>(connected));
      }
      answered = true;
    }
  }
  manager->Release();
  CoFreeUnusedLibraries();
  return ComposeNetworkVerdict(answered, static_cast<std::uint32_t>(connectivity),
                               connected != VARIANT_FALSE);
}

// The full path of a process's executable, or empty when the process is gone
// or may not be asked.
std::wstring ProcessImagePath(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return std::wstring();
  std::wstring path(32768, L'\0');
  DWORD length = static_cast<DWORD>(path.size());
  const BOOL got = QueryFullProcessImageNameW(process, 0, path.data(), &length);
  CloseHandle(process);
  if (!got) return std::wstring();
  path.resize(length);
  return path;
}

// A path in its long form, so that an 8.3 name on one side and the long name
// on the other still compare equal; the path as given when it cannot be had.
std::wstring LongPath(const std::wstring& path) {
  if (path.empty()) return path;
  const DWORD needed = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring longPath(needed, L'\0');
  const DWORD written = GetLongPathNameW(path.c_str(), longPath.data(), needed);
  if (written == 0 || written >= needed) return path;
  longPath.resize(written);
  return longPath;
}

}  // namespace

std::uint32_t CheckNetwork() {
  if (const auto forced = NetworkVerdictOverride()) return *forced;
  // Any thread may ask (the download-failure probe runs on the window's or
  // a worker's): without COM on it the manager cannot be created and the
  // verdict would always read "connected". A thread that has COM in the
  // other model already (RPC_E_CHANGED_MODE) can use it as it is.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::uint32_t verdict = AskNetworkListManager();
  if (SUCCEEDED(com)) CoUninitialize();
  return verdict;
}

bool HardDiskManager::CheckFreeSpace(const std::wstring& directory) {
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(directory.c_str(), &available, &total, &totalFree)) {
    DEBUG_LOG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n",
              static_cast<long>(GetLastError()));
    return false;
  }
  freeBytesAvailable = available.QuadPart;
  totalBytes = total.QuadPart;
  totalFreeBytes = totalFree.QuadPart;
  ApplyFreeSpaceOverride();
  return true;
}

bool IsRunAsAdmin() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
  FreeSid(administrators);
  return checked && member;
}

bool IsAdminAccount(const std::wstring& userName) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetUserGetInfo(nullptr, userName.c_str(), 1, &buffer);
  const bool admin = status == NERR_Success && buffer != nullptr &&
                     reinterpret_cast<const USER_INFO_1*>(buffer)->usri1_priv == USER_PRIV_ADMIN;
  if (buffer != nullptr) NetApiBufferFree(buffer);
  return admin;
}

bool GetActiveSessionUser(std::wstring& userName) {
  const DWORD session = WTSGetActiveConsoleSessionId();
  if (session == 0xFFFFFFFF) return false;  // no session is attached to the console
  LPWSTR buffer = nullptr;
  DWORD bytes = 0;
  if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &buffer,
                                   &bytes)) {
    return false;
  }
  // The console session before anyone logs on has an empty user name; that is
  // no user, and the caller's text stays as it was.
  const bool obtained = buffer != nullptr && buffer[0] != L'\0';
  if (obtained) userName = buffer;
  if (buffer != nullptr) WTSFreeMemory(buffer);
  return obtained;
}

std::wstring NewGuidText() {
  GUID guid{};
  CoCreateGuid(&guid);
  unsigned char bytes[16];
  static_assert(sizeof(guid) == sizeof(bytes));
  std::memcpy(bytes, &guid, sizeof(bytes));
  return FormatGuidText(bytes);
}

std::uint32_t FindProcessId(const std::wstring& executableName) {
  const std::optional<std::wstring> scope = ProcessScope();
  const std::wstring longScope = scope ? LongPath(*scope) : std::wstring();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  std::uint32_t found = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    // Exact comparison: the linguistic lstrcmpW could equate names that differ.
    if (executableName != entry.szExeFile) continue;
    if (scope && !PathLiesUnder(LongPath(ProcessImagePath(entry.th32ProcessID)), longScope)) continue;
    found = entry.th32ProcessID;
    break;
  }
  CloseHandle(snapshot);
  return found;
}

}  // namespace Utils
