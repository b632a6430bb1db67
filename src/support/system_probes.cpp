#include "support/system_probes.h"

#include <cstdlib>
#include <cstring>

#include "support/file_system.h"
#include "support/process_info.h"

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
std::optional<std::uint32_t> ParseUnsigned32(const char* text) {
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
    value = value * base + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
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
  return ParseUnsigned32(value);
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
  const std::wstring folder = temp + kCacheFolderName + kPathSeparator;
  // The installer copies programs here and runs them, with administrator
  // rights; in a temporary folder other users share, a folder of this fixed
  // name planted by someone else must not be used.
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
