// Only one installer for the product runs at a time. The lock is held for the
// whole run and released by the system when the process ends, even by a
// crash, so a later copy always starts.
#pragma once

#include <memory>
#include <string>

namespace Installer {

// "D1A547DB89C0BC61_Installer_" followed by the product name.
std::wstring SingleInstanceName(const std::wstring& productName);

class SingleInstanceLock {
 public:
  // The held lock, or null when another process (or another holder in this
  // one) has it or it cannot be taken at all.
  static std::unique_ptr<SingleInstanceLock> Acquire(const std::wstring& name);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  struct Handle;

 private:
  explicit SingleInstanceLock(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

}  // namespace Installer
