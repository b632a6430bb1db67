// Linux side of the run log: the folder under $XDG_STATE_HOME, the file as a
// descriptor written with one write() per line (O_APPEND), so that lines of
// different threads never mix and a crash handler can write to it too.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "support/debug_log_platform.h"
#include "support/file_system.h"
#include "support/run_log.h"
#include "support/text.h"

namespace Utils {

namespace {

std::atomic<int> runLogFd{-1};

bool MakeFolders(const std::wstring& path) {
  std::wstring sofar;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || (path[i] == L'/' && i > 0)) {
      sofar = path.substr(0, i);
      if (!DirectoryExists(sofar) && !MakeDirectory(sofar)) return false;
    }
  }
  return true;
}

}  // namespace

std::wstring RunLogFolder() {
  std::wstring base;
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') {
    base = ToWide(state, kCodePageAnsi);
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    base = ToWide(home, kCodePageAnsi) + L"/.local/state";
  }
  const std::wstring folder = base + L"/talvorin";
  if (!MakeFolders(folder)) return {};
  return folder + L"/";
}

bool OpenRunLogFile(const std::wstring& path, bool replace) {
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
  const int fd = ::open(ToNarrow(path, kCodePageAnsi).c_str(), flags, 0600);
  if (fd < 0) return false;
  const int previous = runLogFd.exchange(fd);
  if (previous >= 0) ::close(previous);
  return true;
}

std::intptr_t RunLogDescriptor() { return runLogFd.load(); }

void AppendToRunLog(const std::wstring& line) {
  const int fd = runLogFd.load();
  if (fd < 0) return;
  const std::string bytes = ToNarrow(line, kCodePageUtf8);
  (void)!::write(fd, bytes.data(), bytes.size());
}

}  // namespace Utils
