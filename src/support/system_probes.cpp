#include "support/system_probes.h"

#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <cwctype>

#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/text.h"

namespace Utils {
namespace {

constexpr std::size_t kMaxPathCharacters = 260;
constexpr wchar_t kCacheFolderName[] = L"~ZorvanTemp.92482B06FB471E17";

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Strict on purpose: a sign, spaces, trailing text or a value that does not
// fit would otherwise be read as some other number than the one meant.
std::optional<std::uint64_t> ParseUnsigned(const char* text, std::uint64_t largest) {
  unsigned base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  if (*text == '\0') return std::nullopt;
  std::uint64_t value = 0;
  for (; *text != '\0'; ++text) {
    const int digit = HexDigitValue(*text);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    const auto digitValue = static_cast<std::uint64_t>(digit);
    if (value > (largest - digitValue) / base) return std::nullopt;
    value = value * base + digitValue;
  }
  return value;
}

void AppendHex(std::wstring& out, std::uint32_t value, int digits, bool upperCase) {
  const wchar_t* alphabet = upperCase ? L"0123456789ABCDEF" : L"0123456789abcdef";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out.push_back(alphabet[(value >> shift) & 0xF]);
  }
}

std::uint32_t LittleEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// Windows compares file names without case and takes either separator.
bool SamePathCharacter(wchar_t a, wchar_t b) {
  if (IsPathSeparator(a) && IsPathSeparator(b)) return true;
#ifdef _WIN32
  return std::towlower(a) == std::towlower(b);
#else
  return a == b;
#endif
}

// Exists, or was made just now.
bool EnsureDirectory(const std::wstring& path) {
  return DirectoryExists(path) || MakeDirectory(path);
}

}  // namespace

std::uint32_t ComposeNetworkVerdict(bool managerAvailable, std::uint32_t flags,
                                    bool connectedToInternet) {
  if (!managerAvailable) return kNetworkConnected;
  flags &= 0xFFFFu;
  std::uint32_t verdict = kNetworkConnected;
  if (flags == kConnectivityDisconnected) {
    verdict = kNetworkNone;
  } else if (!connectedToInternet) {
    verdict = kNetworkNoInternet;
  }
  return flags | verdict << 16;
}

std::optional<std::uint32_t> NetworkVerdictOverride() {
  const char* value = std::getenv("TALVORIN_NETWORK_VERDICT");
  if (value == nullptr) return std::nullopt;
  const auto parsed = ParseUnsigned(value, 0xFFFFFFFFu);
  if (!parsed) return std::nullopt;
  return static_cast<std::uint32_t>(*parsed);
}

std::optional<std::uint64_t> FreeSpaceOverride() {
  const char* value = std::getenv("TALVORIN_FREE_SPACE_BYTES");
  if (value == nullptr) return std::nullopt;
  return ParseUnsigned(value, UINT64_MAX);
}

void HardDiskManager::ApplyFreeSpaceOverride() {
  const auto forced = FreeSpaceOverride();
  if (!forced) return;
  freeBytesAvailable = *forced;
  totalFreeBytes = *forced;
  if (totalBytes < *forced) totalBytes = *forced;
}

std::optional<std::wstring> ProcessScope() {
#ifdef _WIN32
  const wchar_t* value = _wgetenv(L"TALVORIN_PROCESS_SCOPE");
  if (value == nullptr || *value == L'\0') return std::nullopt;
  return std::wstring(value);
#else
  const char* value = std::getenv("TALVORIN_PROCESS_SCOPE");
  if (value == nullptr || *value == '\0') return std::nullopt;
  return ToWide(value, kCodePageAnsi);
#endif
}

bool PathLiesUnder(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty()) return false;
  std::size_t folderLength = folder.size();
  while (folderLength > 0 && IsPathSeparator(folder[folderLength - 1])) --folderLength;
  if (path.size() <= folderLength || !IsPathSeparator(path[folderLength])) return false;
  for (std::size_t i = 0; i < folderLength; ++i) {
    if (!SamePathCharacter(path[i], folder[i])) return false;
  }
  // Something must follow the separators: "/a/b/" is the folder itself.
  for (std::size_t i = folderLength; i < path.size(); ++i) {
    if (!IsPathSeparator(path[i])) return true;
  }
  return false;
}

std::wstring FormatGuidText(const unsigned char bytes[16]) {
  std::wstring text;
  text.reserve(32);
  AppendHex(text, LittleEndian(bytes, 4), 8, true);
  AppendHex(text, LittleEndian(bytes + 4, 2), 4, true);
  AppendHex(text, LittleEndian(bytes + 6, 2), 4, false);
  for (int i = 8; i < 16; ++i) AppendHex(text, bytes[i], 2, true);
  return text;
}

std::wstring GetCacheFolder() {
  const std::wstring temp = TempFolder();
  if (temp.empty()) return std::wstring();
  // The installer copies programs here and runs them: a temporary folder
  // mounted noexec cannot serve, the user's own cache folder then does.
  std::wstring base = temp;
  if (!FolderAllowsPrograms(temp)) {
    base = UserCacheFolder();
    if (base.empty() || !FolderAllowsPrograms(base)) {
      DEBUG_LOG(L"no folder to run programs from: %s is mounted noexec, and so is the cache folder %s",
                temp.c_str(), base.empty() ? L"(none)" : base.c_str());
      return std::wstring();
    }
    DEBUG_LOG(L"%s is mounted noexec; programs run from %s instead", temp.c_str(), base.c_str());
  }
  const std::wstring folder = base + kCacheFolderName + kPathSeparator;
  // With administrator rights, in a temporary folder other users share, a
  // folder of this fixed name planted by someone else must not be used.
  return MakePrivateDirectory(folder) ? folder : std::wstring();
}

bool CreateDirectories(const std::wstring& path) {
  if (path.size() > kMaxPathCharacters) return false;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsPathSeparator(path[i]) && !EnsureDirectory(path.substr(0, i + 1))) return false;
  }
  if (path.empty() || !IsPathSeparator(path.back())) return EnsureDirectory(path);
  return true;
}

}  // namespace Utils
