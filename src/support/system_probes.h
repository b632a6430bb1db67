// Small independent questions to the operating system. None keeps state or
// throws; a failure is answered neutrally (false, empty text, zero).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Utils {

// Connectivity bits of the network verdict's low half (the network list
// manager's NLM_CONNECTIVITY values; Linux reports the same bits).
enum NetworkConnectivity : std::uint32_t {
  kConnectivityDisconnected = 0x0000,
  kConnectivityIpv4NoTraffic = 0x0001,
  kConnectivityIpv6NoTraffic = 0x0002,
  kConnectivityIpv4Subnet = 0x0010,
  kConnectivityIpv4LocalNetwork = 0x0020,
  kConnectivityIpv4Internet = 0x0040,
  kConnectivityIpv6Subnet = 0x0100,
  kConnectivityIpv6LocalNetwork = 0x0200,
  kConnectivityIpv6Internet = 0x0400,
};

// High half of the network verdict.
enum NetworkVerdict : std::uint32_t {
  kNetworkConnected = 0,      // also when the system cannot be asked
  kNetworkNone = 1,           // no connectivity at all
  kNetworkNoInternet = 2,     // connectivity, but not to the internet
};

// flags | verdict << 16. On Windows the calling thread must have COM
// initialised. The environment variable TALVORIN_NETWORK_VERDICT, when it
// holds a number, is answered instead of asking the system: it lets tests and
// demos take the offline paths on machines (and under Wine) that are online.
std::uint32_t CheckNetwork();

// The verdict for what the system reported (the portable half of CheckNetwork).
// Flags beyond the low 16 bits are dropped so that they cannot pose as a verdict.
std::uint32_t ComposeNetworkVerdict(bool managerAvailable, std::uint32_t flags,
                                    bool connectedToInternet);

// The number TALVORIN_NETWORK_VERDICT holds (decimal, or hexadecimal after
// "0x"), when it holds nothing but a 32-bit number.
std::optional<std::uint32_t> NetworkVerdictOverride();

class HardDiskManager {
 public:
  virtual ~HardDiskManager() = default;
  // Fills the three counts for the volume holding `directory`; on failure logs
  // the system's error code and answers false. When the volume answered and
  // TALVORIN_FREE_SPACE_BYTES holds a number, that number is the free space
  // instead (both free counts; the size grows to hold it when smaller), so
  // that tests and demos reach the "no space" paths without filling a disk.
  bool CheckFreeSpace(const std::wstring& directory);

  std::uint64_t freeBytesAvailable = 0;  // usable by the calling user
  std::uint64_t totalBytes = 0;
  std::uint64_t totalFreeBytes = 0;

 private:
  void ApplyFreeSpaceOverride();
};

// The number TALVORIN_FREE_SPACE_BYTES holds (decimal, or hexadecimal after
// "0x"), when it holds nothing but a 64-bit number.
std::optional<std::uint64_t> FreeSpaceOverride();

// The process runs with administrator rights (Linux: effective uid 0).
bool IsRunAsAdmin();
// The local account has administrator privilege (Linux: uid 0 or a member of
// the "sudo", "wheel" or "admin" group).
bool IsAdminAccount(const std::wstring& userName);
// The user of the active console session; `userName` is left alone on failure.
bool GetActiveSessionUser(std::wstring& userName);

#ifndef _WIN32
// Linux: the user of the session that is active on a seat, from the session
// records logind keeps in `sessionsFolder` (normally /run/systemd/sessions);
// seat0, the machine's own console, wins over other seats. Empty when no
// session there is active on a seat.
std::wstring ActiveSeatUserFromSessions(const std::string& sessionsFolder);
#endif

// A new identifier: 32 hexadecimal digits, upper case except the third group.
std::wstring NewGuidText();
// The GUID text for the 16 bytes of a GUID in memory order
// (Data1 and Data2, Data3 little-endian, then Data4).
std::wstring FormatGuidText(const unsigned char bytes[16]);

// The temporary folder followed by "~ZorvanTemp.92482B06FB471E17" and a
// separator, created (one level) when missing; empty on failure.
std::wstring GetCacheFolder();

// Makes every directory of `path` exist, level by level from the left. A path
// of more than 260 characters is refused without touching the disk, and a file
// standing where a level should be makes the answer false.
bool CreateDirectories(const std::wstring& path);

// The id of a running process whose executable file name is exactly
// `executableName` (case-sensitive), or 0. When TALVORIN_PROCESS_SCOPE names
// a folder, only processes whose executable lies somewhere below that folder
// count: tests that start and look for the product each keep to a folder of
// their own, so that they can run side by side on one machine.
std::uint32_t FindProcessId(const std::wstring& executableName);

// The folder TALVORIN_PROCESS_SCOPE names, when it names one (not empty).
std::optional<std::wstring> ProcessScope();

// `path` lies below `folder` (at any depth; the folder itself is not below
// itself). Levels are compared whole, so "/a/bc" is not below "/a/b"; a
// trailing separator of `folder` does not matter. On Windows both separators
// count and letters are compared without case, as the file system does.
bool PathLiesUnder(const std::wstring& path, const std::wstring& folder);

}  // namespace Utils
