#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "support/process_info.h"
#include "support/text.h"

namespace Utils {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

std::wstring GetExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  buffer.resize(static_cast<std::size_t>(n));
  return ToWide(buffer, kCodePageAnsi);
}

// The kernel keeps the arguments exactly as the program was started with
// them, so no re-splitting is needed here.
std::vector<std::wstring> GetProcessArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::wstring> arguments;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    const std::string argument = all.substr(start, end - start);
    arguments.push_back(argument.empty() ? std::wstring() : ToWide(argument, kCodePageAnsi));
    start = end + 1;
  }
  return arguments;
}

}  // namespace Utils
