// POSIX: appends with write() on an O_APPEND descriptor, fdatasync() to force
// a file to disk, and replacement by rename() with the new file and then its
// folder forced to disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "analytics/sdk/journal_file.h"

namespace zv_transport {

namespace {

bool WriteAll(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  return std::unique_ptr<AppendFile>(new AppendFile(fd));
}

AppendFile::~AppendFile() {
  if (native_ >= 0) ::close(static_cast<int>(native_));
}

bool AppendFile::Append(const std::string& bytes) {
  return AppendToNativeFile(native_, bytes.data(), bytes.size());
}

bool AppendFile::Sync() { return ::fdatasync(static_cast<int>(native_)) == 0; }

bool AppendToNativeFile(NativeFile file, const char* bytes, std::size_t size) {
  if (file < 0) return false;
  // One call: a second one could interleave with another writer's line.
  ssize_t written;
  do {
    written = ::write(static_cast<int>(file), bytes, size);
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(size);
}

std::int64_t SignalSafeUnixMilliseconds() {
  timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool ReplaceFileDurably(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself is durable only once the folder is.
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || text.size() + static_cast<std::size_t>(got) > limit) {
      ::close(fd);
      if (got == 0) return text;
      return std::nullopt;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

bool RemoveFileIfPresent(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace zv_transport
