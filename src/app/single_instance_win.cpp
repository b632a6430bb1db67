#include <windows.h>

#include "app/single_instance.h"
#include "support/debug_log.h"

namespace Installer {

struct SingleInstanceLock::Handle {
  HANDLE mutex = nullptr;
};

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::Acquire(const std::wstring& name) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
  if (!mutex) {
    DEBUG_LOG(L"CreateMutex failed: %lu", GetLastError());
    return nullptr;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return nullptr;
  }
  auto handle = std::make_unique<Handle>();
  handle->mutex = mutex;
  return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(std::move(handle)));
}

SingleInstanceLock::SingleInstanceLock(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

SingleInstanceLock::~SingleInstanceLock() {
  ReleaseMutex(handle_->mutex);
  CloseHandle(handle_->mutex);
}

}  // namespace Installer
