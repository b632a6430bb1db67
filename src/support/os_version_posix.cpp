#include <sys/utsname.h>

#include <cstring>

#include "support/os_version.h"
#include "support/text.h"

namespace Utils {

void GetOsVersion(std::wstring& systemName, std::wstring& versionName) {
  systemName = L"Linux";
  versionName.clear();
  utsname names{};
  if (uname(&names) == 0) versionName = ToWide(names.release, kCodePageUtf8);
}

bool IsOs64Bit() {
  if (sizeof(void*) == 8) return true;  // a 64-bit process runs only on a 64-bit system
  utsname names{};
  if (uname(&names) != 0) return false;
  return std::strstr(names.machine, "64") != nullptr || std::strcmp(names.machine, "s390x") == 0;
}

}  // namespace Utils
