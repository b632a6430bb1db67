#include "support/system_probes.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "support/debug_log.h"
#include "support/text.h"

namespace Utils {
namespace {

// ---- network -------------------------------------------------------------

constexpr unsigned kRouteUp = 0x0001;      // RTF_UP
constexpr unsigned kRouteReject = 0x0200;  // RTF_REJECT: "unreachable" placeholders

struct InterfaceNames {
  std::set<std::string> ipv4;         // routable IPv4 address
  std::set<std::string> ipv6;         // global or unique-local IPv6 address
  bool ipv4LinkLocalOnly = false;     // seen 169.254/16 without anything better
  bool ipv6LinkLocalOnly = false;     // seen fe80::/10 without anything better
};

bool IsIpv4LinkLocal(const sockaddr* address) {
  const auto* in = reinterpret_cast<const sockaddr_in*>(address);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&in->sin_addr.s_addr);
  return bytes[0] == 169 && bytes[1] == 254;
}

bool IsIpv6LinkLocal(const sockaddr* address) {
  const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
  return in6->sin6_addr.s6_addr[0] == 0xFE && (in6->sin6_addr.s6_addr[1] & 0xC0) == 0x80;
}

// Interfaces that are up, carry traffic and are not the loopback, by family.
InterfaceNames UsableInterfaces() {
  InterfaceNames names;
  bool ipv4LinkLocal = false, ipv6LinkLocal = false;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return names;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr) continue;
    const unsigned flags = entry->ifa_flags;
    if ((flags & IFF_LOOPBACK) != 0 || (flags & IFF_UP) == 0 || (flags & IFF_RUNNING) == 0) {
      continue;
    }
    if (entry->ifa_addr->sa_family == AF_INET) {
      if (IsIpv4LinkLocal(entry->ifa_addr)) {
        ipv4LinkLocal = true;
      } else {
        names.ipv4.insert(entry->ifa_name);
      }
    } else if (entry->ifa_addr->sa_family == AF_INET6) {
      if (IsIpv6LinkLocal(entry->ifa_addr)) {
        ipv6LinkLocal = true;
      } else {
        names.ipv6.insert(entry->ifa_name);
      }
    }
  }
  freeifaddrs(list);
  names.ipv4LinkLocalOnly = ipv4LinkLocal && names.ipv4.empty();
  names.ipv6LinkLocalOnly = ipv6LinkLocal && names.ipv6.empty();
  return names;
}

// /proc/net/route: "Iface Destination Gateway Flags RefCnt Use Metric Mask ...",
// addresses in hexadecimal.
bool HasIpv4DefaultRoute(const std::set<std::string>& interfaces) {
  std::ifstream table("/proc/net/route");
  std::string line;
  std::getline(table, line);  // column titles
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, mask;
    unsigned flags = 0, refCount = 0, use = 0, metric = 0;
    if (!(fields >> name >> destination >> gateway >> std::hex >> flags >> std::dec >> refCount >>
          use >> metric >> mask)) {
      continue;
    }
    if (destination == "00000000" && mask == "00000000" && (flags & kRouteUp) != 0 &&
        (flags & kRouteReject) == 0 && interfaces.count(name) != 0) {
      return true;
    }
  }
  return false;
}

// /proc/net/ipv6_route: "destination prefix-length source prefix-length
// next-hop metric refcount use flags interface", all hexadecimal, no titles.
bool HasIpv6DefaultRoute(const std::set<std::string>& interfaces) {
  std::ifstream table("/proc/net/ipv6_route");
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string destination, prefix, source, sourcePrefix, nextHop, metric, refCount, use, name;
    unsigned flags = 0;
    if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >>
          refCount >> use >> std::hex >> flags >> name)) {
      continue;
    }
    if (destination == std::string(32, '0') && prefix == "00" && (flags & kRouteUp) != 0 &&
        (flags & kRouteReject) == 0 && interfaces.count(name) != 0) {
      return true;
    }
  }
  return false;
}

// The connectivity bits the network list manager would report: per family,
// an address on a working interface is the subnet, and a default route through
// one of those interfaces is taken as the way to the internet.
std::uint32_t ConnectivityFlags(bool& internet) {
  const InterfaceNames names = UsableInterfaces();
  std::uint32_t flags = kConnectivityDisconnected;
  internet = false;
  if (!names.ipv4.empty()) {
    const bool routed = HasIpv4DefaultRoute(names.ipv4);
    flags |= routed ? kConnectivityIpv4Internet : kConnectivityIpv4Subnet;
    internet = internet || routed;
  } else if (names.ipv4LinkLocalOnly) {
    flags |= kConnectivityIpv4NoTraffic;
  }
  if (!names.ipv6.empty()) {
    const bool routed = HasIpv6DefaultRoute(names.ipv6);
    flags |= routed ? kConnectivityIpv6Internet : kConnectivityIpv6Subnet;
    internet = internet || routed;
  } else if (names.ipv6LinkLocalOnly) {
    flags |= kConnectivityIpv6NoTraffic;
  }
  return flags;
}

// ---- accounts ------------------------------------------------------------

long BufferSize(int name) {
  const long size = sysconf(name);
  return size > 0 ? size : 16384;
}

bool LookUpUser(const std::string& name, passwd& entry, std::vector<char>& buffer) {
  buffer.resize(static_cast<std::size_t>(BufferSize(_SC_GETPW_R_SIZE_MAX)));
  for (;;) {
    passwd* result = nullptr;
    const int error = getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &result);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    return error == 0 && result != nullptr;
  }
}

bool UserNameOf(uid_t uid, std::string& name) {
  std::vector<char> buffer(static_cast<std::size_t>(BufferSize(_SC_GETPW_R_SIZE_MAX)));
  for (;;) {
    passwd entry{};
    passwd* result = nullptr;
    const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || result == nullptr || entry.pw_name == nullptr) return false;
    name = entry.pw_name;
    return !name.empty();
  }
}

bool GroupIdOf(const char* groupName, gid_t& id) {
  std::vector<char> buffer(static_cast<std::size_t>(BufferSize(_SC_GETGR_R_SIZE_MAX)));
  for (;;) {
    group entry{};
    group* result = nullptr;
    const int error = getgrnam_r(groupName, &entry, buffer.data(), buffer.size(), &result);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || result == nullptr) return false;
    id = entry.gr_gid;
    return true;
  }
}

// Every group of the account, its primary group included.
std::vector<gid_t> GroupsOf(const char* user, gid_t primary) {
  std::vector<gid_t> groups(32);
  for (int attempt = 0; attempt < 8; ++attempt) {
    int count = static_cast<int>(groups.size());
    if (getgrouplist(user, primary, groups.data(), &count) >= 0) {
      groups.resize(static_cast<std::size_t>(count));
      return groups;
    }
    // count now holds the number needed.
    groups.resize(static_cast<std::size_t>(count > 0 ? count : 0) + groups.size());
  }
  return {primary};
}

// ---- sessions ------------------------------------------------------------

struct SessionRecord {
  std::string user;
  std::string uid;
  std::string seat;
  bool active = false;
};

// logind's records are KEY=VALUE lines.
SessionRecord ReadSessionRecord(const std::string& path) {
  SessionRecord record;
  std::ifstream file(path);
  std::string line;
  bool activeFlag = false, activeState = false;
  while (std::getline(file, line)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "USER") record.user = value;
    else if (key == "UID") record.uid = value;
    else if (key == "SEAT") record.seat = value;
    else if (key == "ACTIVE") activeFlag = value == "1";
    else if (key == "STATE") activeState = value == "active";
  }
  record.active = activeFlag || activeState;
  return record;
}

std::string SessionUserName(const SessionRecord& record) {
  if (!record.user.empty()) return record.user;
  // Older records name only the uid.
  if (record.uid.empty() || record.uid.find_first_not_of("0123456789") != std::string::npos) {
    return std::string();
  }
  std::string name;
  errno = 0;
  char* end = nullptr;
  const unsigned long long uid = std::strtoull(record.uid.c_str(), &end, 10);
  if (errno != 0 || uid > static_cast<unsigned long long>(static_cast<uid_t>(-1))) {
    return std::string();
  }
  return UserNameOf(static_cast<uid_t>(uid), name) ? name : std::string();
}

// ---- processes -----------------------------------------------------------

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's full path as the kernel knows it (what `exe` links to), or,
// for processes whose executable link this user may not read, the name the
// program was started as. `fromLink` says which of the two it is.
std::string ProcessExecutablePath(const std::string& processFolder, bool& fromLink) {
  fromLink = false;
  std::vector<char> target(4096);
  const ssize_t length =
      readlink((processFolder + "/exe").c_str(), target.data(), target.size());
  if (length >= 0) {
    if (length == 0 || static_cast<std::size_t>(length) >= target.size()) return std::string();
    std::string path(target.data(), static_cast<std::size_t>(length));
    // The link of a program whose file was replaced or removed while it runs.
    constexpr char kDeleted[] = " (deleted)";
    constexpr std::size_t kDeletedLength = sizeof(kDeleted) - 1;
    if (path.size() > kDeletedLength &&
        path.compare(path.size() - kDeletedLength, kDeletedLength, kDeleted) == 0) {
      path.resize(path.size() - kDeletedLength);
    }
    fromLink = true;
    return path;
  }
  if (errno != EACCES && errno != EPERM) return std::string();  // kernel thread, or gone
  std::ifstream commandLine(processFolder + "/cmdline", std::ios::binary);
  std::string first;
  std::getline(commandLine, first, '\0');
  return first;
}

// The scope as the kernel writes executable paths: without symbolic links
// (a scope under /tmp reached through a link would otherwise match nothing).
std::optional<std::string> ResolvedProcessScope() {
  const std::optional<std::wstring> scope = ProcessScope();
  if (!scope) return std::nullopt;
  const std::string text = ToNarrow(*scope, kCodePageAnsi);
  std::unique_ptr<char, void (*)(void*)> resolved(realpath(text.c_str(), nullptr), std::free);
  return resolved ? std::string(resolved.get()) : text;
}

bool IsProcessFolderName(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (*name < '0' || *name > '9') return false;
  }
  return true;
}

}  // namespace

std::uint32_t CheckNetwork() {
  if (const auto forced = NetworkVerdictOverride()) return *forced;
  bool internet = false;
  const std::uint32_t flags = ConnectivityFlags(internet);
  // The same lines the Windows build writes, so that logs read alike.
  if (flags == kConnectivityDisconnected) {
    DEBUG_LOG(L"GetConnectivity %d", static_cast<int>(flags));
  } else if (!internet) {
    DEBUG_LOG(L"get_IsConnectedToInternet:%d", 0);
  }
  return ComposeNetworkVerdict(true, flags, internet);
}

bool HardDiskManager::CheckFreeSpace(const std::wstring& directory) {
  const std::string path = ToNarrow(directory, kCodePageAnsi);
  struct statvfs info {};
  if (path.empty() || statvfs(path.c_str(), &info) != 0) {
    const int error = path.empty() ? ENOENT : errno;
    DEBUG_LOG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<std::int32_t>(error));
    return false;
  }
  const std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
  freeBytesAvailable = static_cast<std::uint64_t>(info.f_bavail) * unit;
  totalBytes = static_cast<std::uint64_t>(info.f_blocks) * unit;
  totalFreeBytes = static_cast<std::uint64_t>(info.f_bfree) * unit;
  ApplyFreeSpaceOverride();
  return true;
}

bool IsRunAsAdmin() { return geteuid() == 0; }

bool IsAdminAccount(const std::wstring& userName) {
  const std::string name = ToNarrow(userName, kCodePageAnsi);
  if (name.empty()) return false;
  passwd entry{};
  std::vector<char> buffer;
  if (!LookUpUser(name, entry, buffer)) return false;
  if (entry.pw_uid == 0) return true;
  const std::vector<gid_t> groups = GroupsOf(entry.pw_name, entry.pw_gid);
  for (const char* adminGroup : {"sudo", "wheel", "admin"}) {
    gid_t id = 0;
    if (!GroupIdOf(adminGroup, id)) continue;
    for (const gid_t member : groups) {
      if (member == id) return true;
    }
  }
  return false;
}

std::wstring ActiveSeatUserFromSessions(const std::string& sessionsFolder) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(sessionsFolder.c_str()), closedir);
  if (!folder) return std::wstring();
  std::string onSeat0, onOtherSeat;
  while (const dirent* entry = readdir(folder.get())) {
    const std::string fileName = entry->d_name;
    // Skip dot entries and logind's reference pipes ("<id>.ref").
    if (fileName.empty() || fileName[0] == '.' || fileName.find('.') != std::string::npos) {
      continue;
    }
    const SessionRecord record = ReadSessionRecord(sessionsFolder + "/" + fileName);
    if (!record.active || record.seat.empty()) continue;  // remote or background sessions
    const std::string user = SessionUserName(record);
    if (user.empty()) continue;
    if (record.seat == "seat0") {
      if (onSeat0.empty()) onSeat0 = user;
    } else if (onOtherSeat.empty()) {
      onOtherSeat = user;
    }
  }
  const std::string& chosen = onSeat0.empty() ? onOtherSeat : onSeat0;
  return chosen.empty() ? std::wstring() : ToWide(chosen, kCodePageAnsi);
}

bool GetActiveSessionUser(std::wstring& userName) {
  std::wstring found = ActiveSeatUserFromSessions("/run/systemd/sessions");
  if (found.empty()) {
    char login[256] = {};
    if (getlogin_r(login, sizeof(login)) == 0 && login[0] != '\0') {
      found = ToWide(login, kCodePageAnsi);
    }
  }
  if (found.empty()) {
    std::string name;
    if (UserNameOf(getuid(), name)) found = ToWide(name, kCodePageAnsi);
  }
  if (found.empty()) return false;
  userName = found;
  return true;
}

std::wstring NewGuidText() {
  unsigned char bytes[16] = {};
  std::size_t filled = 0;
  while (filled < sizeof(bytes)) {
    const ssize_t got = getrandom(bytes + filled, sizeof(bytes) - filled, 0);
    if (got > 0) {
      filled += static_cast<std::size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      break;
    }
  }
  if (filled < sizeof(bytes)) {
    // Kernels before getrandom(2) still have the device.
    std::ifstream device("/dev/urandom", std::ios::binary);
    device.read(reinterpret_cast<char*>(bytes), sizeof(bytes));
  }
  // The marks of a random (version 4, RFC 4122 variant) GUID, as the Windows
  // build's identifiers carry them: Data3's top nibble and Data4[0]'s top bits.
  bytes[7] = static_cast<unsigned char>((bytes[7] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  return FormatGuidText(bytes);
}

std::uint32_t FindProcessId(const std::wstring& executableName) {
  const std::string wanted = ToNarrow(executableName, kCodePageAnsi);
  if (wanted.empty()) return 0;
  const std::optional<std::string> scope = ResolvedProcessScope();
  const std::wstring wideScope = scope ? ToWide(*scope, kCodePageAnsi) : std::wstring();
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return 0;
  while (const dirent* entry = readdir(proc.get())) {
    if (!IsProcessFolderName(entry->d_name)) continue;
    bool fromLink = false;
    const std::string path = ProcessExecutablePath(std::string("/proc/") + entry->d_name, fromLink);
    if (BaseName(path) != wanted) continue;
    // Only a path the kernel vouches for can place a process in the scope.
    if (scope && !(fromLink && PathLiesUnder(ToWide(path, kCodePageAnsi), wideScope))) continue;
    return static_cast<std::uint32_t>(std::strtoul(entry->d_name, nullptr, 10));
  }
  return 0;
}

}  // namespace Utils
