#include "installer_program_fixture.h"

#include <chrono>
#include <thread>

#include "install/record_store.h"

namespace TestSupport {

InstallerRunsOneAtATime::InstallerRunsOneAtATime() {
#ifdef _WIN32
  for (int i = 0; i < 3000 && !lock_; ++i) {
    lock_ = Installer::SingleInstanceLock::Acquire(L"talvorin_tests_installer_program");
    if (!lock_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
#endif
}

bool InstallerRunsOneAtATime::Held() const {
#ifdef _WIN32
  return lock_ != nullptr;
#else
  return true;
#endif
}

std::wstring RecordedValue(const std::wstring& name) {
  std::wstring value;
  Installer::ReadRecordValue(Installer::kRecordsKey, name, value);
  return value;
}

}  // namespace TestSupport
