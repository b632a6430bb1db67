#include "install/profile_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/process_info.h"
#include "support/text.h"

namespace Installer {

namespace {

bool ReadWhole(const std::string& path, std::string& text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return true;
}

}  // namespace

bool WriteProfileValue(const std::wstring& section, const std::wstring& key,
                        const std::wstring& value, const std::wstring& filePath) {
  if (value.find_first_of(L"\r\n") != std::wstring::npos || key.empty() || section.empty()) {
    return false;
  }
  const std::string path = Utils::ToNarrow(filePath, Utils::kCodePageAnsi);
  if (path.empty()) return false;
  std::string old;
  if (!ReadWhole(path, old)) return false;
  if (old.size() >= 3 && old.compare(0, 3, "\xEF\xBB\xBF") == 0) old.erase(0, 3);
  const std::string text = Utils::ToNarrow(
      SetProfileValue(Utils::ToWide(old, Utils::kCodePageUtf8), section, key, value),
      Utils::kCodePageUtf8);
  // A new file renamed over the old one: a reader never sees half a file.
  const std::string temporary = path + ".tmp" + std::to_string(Utils::CurrentProcessId()) + "-" +
                                std::to_string(Utils::CurrentThreadId());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
    if (put < 0) {
      if (errno == EINTR) continue;
      break;
    }
    written += static_cast<std::size_t>(put);
  }
  const bool ok = ::close(fd) == 0 && written == text.size() &&
                  ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace Installer
