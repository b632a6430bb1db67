// A small real program that the process tests start, find, feed and read.
// It depends on nothing but the C++ runtime, so that a fault in the installer's
// own code can never hide behind a fault of the program under test.
//
//   print <text>...     each text and a line feed to standard output; exit 0
//   echo-args [arg]...  each argument on its own line (checks splitting end to end)
//   exit <code>         exits with <code> (decimal; up to 32 bits on Windows)
//   sleep <ms>          waits, then exits 0
//   wait-for <file> <ms>  waits until <file> exists (exit 0) or <ms> pass (exit 1);
//                       lets a test end a long-lived child without killing it
//   read-stdin          reads standard input to its end, prints the byte count
//   stderr <bytes>      writes that many bytes to standard error, then prints "done"
//   list-fds            (POSIX) prints the numbers of its open descriptors, one a line
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <dirent.h>
#include <algorithm>
#endif

namespace {

constexpr int kUsageError = 64;

bool ParseNumber(const char* text, unsigned long long* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  *value = std::strtoull(text, &end, 10);
  return end != nullptr && *end == '\0';
}

void WriteLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
}

int ListDescriptors() {
#ifdef _WIN32
  std::fputs("list-fds is not available on Windows\n", stderr);
  return kUsageError;
#else
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) {
    std::perror("opendir /proc/self/fd");
    return 1;
  }
  // The directory stream holds a descriptor of its own while we list; it is
  // not one the parent gave us, so it is left out.
  const int own = dirfd(dir);
  std::vector<long> numbers;
  while (const dirent* entry = readdir(dir)) {
    unsigned long long number = 0;
    if (!ParseNumber(entry->d_name, &number)) continue;  // "." and ".."
    if (static_cast<long>(number) == own) continue;
    numbers.push_back(static_cast<long>(number));
  }
  closedir(dir);
  std::sort(numbers.begin(), numbers.end());
  for (long number : numbers) std::printf("%ld\n", number);
  return 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Byte-exact streams: the tests compare what they read with what was sent,
  // and a text-mode stream would turn "\n" into "\r\n" and stop at ^Z.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  if (argc < 2) {
    std::fputs("usage: talvorin-test-child <mode> [arguments]\n", stderr);
    return kUsageError;
  }
  const std::string mode = argv[1];

  if (mode == "print") {
    for (int i = 2; i < argc; ++i) WriteLine(argv[i]);
    return 0;
  }
  if (mode == "echo-args") {
    for (int i = 2; i < argc; ++i) WriteLine(argv[i]);
    return 0;
  }
  if (mode == "exit") {
    unsigned long long code = 0;
    if (argc != 3 || !ParseNumber(argv[2], &code)) return kUsageError;
    std::fflush(stdout);
    // Windows keeps all 32 bits of the value; POSIX keeps the low 8.
    return static_cast<int>(static_cast<unsigned int>(code));
  }
  if (mode == "sleep") {
    unsigned long long milliseconds = 0;
    if (argc != 3 || !ParseNumber(argv[2], &milliseconds)) return kUsageError;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return 0;
  }
  if (mode == "wait-for") {
    unsigned long long milliseconds = 0;
    if (argc != 4 || !ParseNumber(argv[3], &milliseconds)) return kUsageError;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (std::FILE* file = std::fopen(argv[2], "rb")) {
        std::fclose(file);
        return 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 1;
  }
  if (mode == "read-stdin") {
    unsigned long long total = 0;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) total += got;
    std::printf("%llu\n", total);
    return 0;
  }
  if (mode == "stderr") {
    unsigned long long bytes = 0;
    if (argc != 3 || !ParseNumber(argv[2], &bytes)) return kUsageError;
    const std::string block(4096, 'e');
    while (bytes > 0) {
      const std::size_t chunk = bytes < block.size() ? static_cast<std::size_t>(bytes) : block.size();
      if (std::fwrite(block.data(), 1, chunk, stderr) != chunk) return 1;
      bytes -= chunk;
    }
    std::fflush(stderr);
    WriteLine("done");
    return 0;
  }
  if (mode == "list-fds") return ListDescriptors();

  std::fprintf(stderr, "unknown mode: %s\n", mode.c_str());
  return kUsageError;
}
