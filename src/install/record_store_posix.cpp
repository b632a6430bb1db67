// Linux: the key "Software\ZorvanSoft\Talvorin" is the settings file
// $XDG_CONFIG_HOME/ZorvanSoft/Talvorin.ini (~/.config when unset), its values
// the keys of section [Talvorin].
#include "install/record_store.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "install/profile_writer.h"
#include "support/profile_file.h"
#include "support/system_probes.h"
#include "support/text.h"

namespace Installer {

namespace {

std::wstring Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return Utils::ToWide(value, Utils::kCodePageAnsi);
}

std::wstring ConfigHome() {
  std::wstring home = Environment("XDG_CONFIG_HOME");
  if (!home.empty()) return home;
  home = Environment("HOME");
  return home.empty() ? std::wstring() : home + L"/.config";
}

// The file and section of a key: its levels after "Software" become folders,
// the last one the file and the section.
bool Locate(const std::wstring& key, std::wstring& file, std::wstring& section, std::wstring& folder) {
  const std::wstring home = ConfigHome();
  if (home.empty() || key.empty()) return false;
  std::wstring path = key;
  if (Utils::StartsWith(path, L"Software\\")) path.erase(0, 9);
  for (wchar_t& c : path) {
    if (c == L'\\') c = L'/';
  }
  if (path.empty() || path.find(L"..") != std::wstring::npos) return false;
  const std::size_t slash = path.find_last_of(L'/');
  section = slash == std::wstring::npos ? path : path.substr(slash + 1);
  folder = home + (slash == std::wstring::npos ? std::wstring() : L"/" + path.substr(0, slash));
  file = home + L"/" + path + L".ini";
  return !section.empty();
}

}  // namespace

bool ReadRecordValue(const std::wstring& key, const std::wstring& name, std::wstring& value) {
  std::wstring file, section, folder;
  if (!Locate(key, file, section, folder)) return false;
  const std::optional<std::wstring> found = Utils::ReadProfileValue(section, name, file);
  if (!found) return false;
  value = *found;
  return true;
}

bool WriteRecordValue(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  std::wstring file, section, folder;
  if (!Locate(key, file, section, folder)) return false;
  if (!Utils::CreateDirectories(folder)) return false;
  return WriteProfileValue(section, name, text, file);
}

bool DeleteRecordKey(const std::wstring& key) {
  std::wstring file, section, folder;
  if (!Locate(key, file, section, folder)) return false;
  const std::string native = Utils::ToNarrow(file, Utils::kCodePageAnsi);
  return ::unlink(native.c_str()) == 0 || errno == ENOENT;
}

std::optional<std::wstring> AppDataFolder() {
  std::wstring data = Environment("XDG_DATA_HOME");
  if (!data.empty()) return data;
  data = Environment("HOME");
  if (data.empty()) return std::nullopt;
  return data + L"/.local/share";
}

std::wstring CommonDocumentsFolder() { return L"/var/tmp"; }

// /opt is for installations by root; a user's own programs live in the
// user's data folder.
std::wstring ProgramFilesX86Folder() { return ::geteuid() == 0 ? L"/opt" : L""; }

std::wstring ProgramFilesFolder() {
  if (::geteuid() == 0) return L"/opt";
  return AppDataFolder().value_or(L"");
}

}  // namespace Installer
