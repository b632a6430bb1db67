// The few file operations the analytics state needs to survive a kill, a
// crash or a power cut: appending a line with one system write, forcing a
// file to disk, and replacing a file whole (a new file, forced to disk, then
// renamed over the old one, so that a reader finds either the old text or the
// new one, never a mixture or nothing). Paths are UTF-8 texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zv_transport {

// A POSIX descriptor or a Windows HANDLE, as an integer; -1 when none.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoNativeFile = -1;

class AppendFile {
 public:
  // Opens (creating it when missing) for appending; nullptr when it cannot.
  static std::unique_ptr<AppendFile> Open(const std::string& path);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // One system write at the end of the file; false unless all of it was written.
  bool Append(const std::string& bytes);
  // Forces what was written to the disk.
  bool Sync();
  NativeFile Native() const { return native_; }

 private:
  explicit AppendFile(NativeFile native) : native_(native) {}
  NativeFile native_;
};

// Writes `bytes` at the end of an open file with one system call and nothing
// else: safe in a signal handler or an unhandled-exception filter.
bool AppendToNativeFile(NativeFile file, const char* bytes, std::size_t size);

// The time in milliseconds since the Unix epoch, from a call that is safe
// in a signal handler; 0 when the system cannot say.
std::int64_t SignalSafeUnixMilliseconds();

// Replaces the file whole; every step is checked, and on failure the old
// file is left as it was.
bool ReplaceFileDurably(const std::string& path, const std::string& bytes);
// The whole file when it exists and holds at most `limit` bytes.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit);
// True when the file is gone afterwards.
bool RemoveFileIfPresent(const std::string& path);

}  // namespace zv_transport
