#include "install/record_store.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <vector>

namespace Installer {

bool ReadRecordValue(const std::wstring& key, const std::wstring& name, std::wstring& value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD size = 0;
  bool ok = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
  if (ok) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD bytes = size;
    ok = RegQueryValueExW(handle, name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(buffer.data()), &bytes) == ERROR_SUCCESS;
    if (ok) value = buffer.data();
  }
  RegCloseKey(handle);
  return ok;
}

bool WriteRecordValue(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = RegSetValueExW(handle, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

bool DeleteRecordKey(const std::wstring& key) {
  const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

namespace {

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return path;
}

}  // namespace

std::optional<std::wstring> AppDataFolder() {
  const wchar_t* value = _wgetenv(L"APPDATA");
  if (value == nullptr) return std::nullopt;
  return std::wstring(value);
}

std::wstring CommonDocumentsFolder() { return ShellFolder(CSIDL_COMMON_DOCUMENTS); }
std::wstring ProgramFilesX86Folder() { return ShellFolder(CSIDL_PROGRAM_FILESX86); }
std::wstring ProgramFilesFolder() { return ShellFolder(CSIDL_PROGRAM_FILES); }

}  // namespace Installer
