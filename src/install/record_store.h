// The per-user store of the installation records: a registry key under
// HKEY_CURRENT_USER on Windows; on Linux a settings file per key under the
// user's configuration folder (docs/platforms.md).
#pragma once

#include <optional>
#include <string>

namespace Installer {

inline constexpr wchar_t kRecordsKey[] = L"Software\\ZorvanSoft\\Talvorin";

// Fills `value` (up to its first zero character) and answers true when the
// value was read; anything else leaves it unchanged.
bool ReadRecordValue(const std::wstring& key, const std::wstring& name, std::wstring& value);
// Creates the key when needed and sets the value as text.
bool WriteRecordValue(const std::wstring& key, const std::wstring& name, const std::wstring& text);
// Removes the key with its values (the product's uninstaller does; tests too).
bool DeleteRecordKey(const std::wstring& key);

// The special folders the installation folders are built from. Each is empty
// (or nullopt) when the system cannot name it.
std::optional<std::wstring> AppDataFolder();   // APPDATA (Linux: $XDG_DATA_HOME, ~/.local/share)
std::wstring CommonDocumentsFolder();          // all users' documents
std::wstring ProgramFilesX86Folder();          // 32-bit program files
std::wstring ProgramFilesFolder();

}  // namespace Installer
