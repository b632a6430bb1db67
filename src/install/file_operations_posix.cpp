#include "install/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "support/text.h"

namespace Installer {

namespace {

std::string Native(const std::wstring& path) {
  return path.empty() ? std::string() : Utils::ToNarrow(path, Utils::kCodePageAnsi);
}

}  // namespace

bool DeleteFileQuietly(const std::wstring& path) {
  const std::string native = Native(path);
  if (native.empty()) return true;
  return ::unlink(native.c_str()) == 0 || errno == ENOENT;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  const std::string source = Native(from);
  const std::string target = Native(to);
  if (source.empty() || target.empty()) return false;
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info {};
  if (::fstat(in, &info) != 0) {
    ::close(in);
    return false;
  }
  // A new file rather than a rewrite of the old one: a program still running
  // from the old copy keeps its own.
  ::unlink(target.c_str());
  const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                         info.st_mode & 0777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  char buffer[64 * 1024];
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t written = 0; written < got;) {
      const ssize_t put = ::write(out, buffer + written, static_cast<std::size_t>(got - written));
      if (put < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      written += put;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  return ok;
}

bool MakeExecutable(const std::wstring& path) {
  const std::string native = Native(path);
  struct stat info {};
  if (native.empty() || ::stat(native.c_str(), &info) != 0) return false;
  // Execute wherever read is allowed: the owner, and whoever may read it.
  const mode_t execute = (info.st_mode & 0444) >> 2;
  return ::chmod(native.c_str(), (info.st_mode & 07777) | execute | S_IXUSR) == 0;
}

bool CanCreateFile(const std::wstring& path) {
  const std::string native = Native(path);
  if (native.empty()) return false;
  const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(native.c_str());
  return true;
}

std::wstring VolumeOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L'/');
  if (slash == std::wstring::npos) return L".";
  if (slash == 0) return L"/";
  return path.substr(0, slash);
}

}  // namespace Installer
