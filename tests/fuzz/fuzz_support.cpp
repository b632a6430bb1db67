#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace Fuzz {

std::string_view InputReader::Take(std::size_t count) {
  const std::size_t n = std::min(count, size_ - std::min(at_, size_));
  const std::string_view piece(reinterpret_cast<const char*>(data_) + at_, n);
  at_ += n;
  return piece;
}

std::string_view InputReader::TakeUntilZero() {
  std::size_t end = at_;
  while (end < size_ && data_[end] != 0) ++end;
  const std::string_view piece = Take(end - at_);
  if (!Empty()) ++at_;
  return piece;
}

namespace {

class Scratch {
 public:
  Scratch() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("talvorin-fuzz-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

const std::filesystem::path& ScratchFolder() {
  static const Scratch scratch;
  return scratch.path();
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

int RunCheckForLibFuzzer(Check check, const std::uint8_t* data, std::size_t size) {
  const std::string problem = check(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "fuzz check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}

}  // namespace Fuzz
