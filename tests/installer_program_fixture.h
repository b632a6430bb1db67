// What tests that run the real installer program share.
#pragma once

#include <memory>
#include <string>

#include "app/single_instance.h"

namespace TestSupport {

#ifdef _WIN32
inline constexpr wchar_t kInstallerFileName[] = L"TalvorinInstaller.exe";
#else
inline constexpr wchar_t kInstallerFileName[] = L"talvorin-installer";
#endif

// On Windows the program's single-instance mutex is one per machine (per
// Wine server): runs of the real program keep to one at a time across test
// programs, or one run would refuse another's as a second copy. On Linux the
// program's lock lives in XDG_RUNTIME_DIR, which each test points at a
// folder of its own, so runs never meet and nothing is taken.
class InstallerRunsOneAtATime {
 public:
  InstallerRunsOneAtATime();
  // False when another test program kept the turn for five minutes.
  bool Held() const;

 private:
  std::unique_ptr<Installer::SingleInstanceLock> lock_;
};

// A value of the installation records as the program left them ("" when absent).
std::wstring RecordedValue(const std::wstring& name);

}  // namespace TestSupport
