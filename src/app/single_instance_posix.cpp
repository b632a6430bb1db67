#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/single_instance.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/text.h"

namespace Installer {

namespace {

// $XDG_RUNTIME_DIR is the user's own and emptied at logout; without one, a
// private folder of this user in the temporary folder serves.
std::string LockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return runtime;
  const std::wstring folder = Utils::TempFolder() + L"talvorin-" + std::to_wstring(geteuid());
  if (!Utils::MakePrivateDirectory(folder)) return {};
  return Utils::ToNarrow(folder, Utils::kCodePageUtf8);
}

}  // namespace

struct SingleInstanceLock::Handle {
  int fd = -1;
};

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::Acquire(const std::wstring& name) {
  const std::string folder = LockFolder();
  if (folder.empty()) return nullptr;
  const std::string path = folder + "/" + Utils::ToNarrow(name, Utils::kCodePageUtf8) + ".lock";
  // flock belongs to the open file description: a second open, even in this
  // process, is refused, and the kernel lets go when the process ends.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    DEBUG_LOG(L"cannot open the lock file: %s", Utils::ToWide(std::strerror(errno), Utils::kCodePageAnsi).c_str());
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  auto handle = std::make_unique<Handle>();
  handle->fd = fd;
  return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(std::move(handle)));
}

SingleInstanceLock::SingleInstanceLock(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

SingleInstanceLock::~SingleInstanceLock() { close(handle_->fd); }

}  // namespace Installer
