// What the parser fuzz targets share: the check each target runs on one
// input, the entry libFuzzer calls, and small helpers for inputs that carry
// more than one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace Fuzz {

// Runs one input through a parser the way the program does; answers what is
// wrong (empty when nothing is). Sanitizer reports stop the process instead.
using Check = std::string (*)(const std::uint8_t* data, std::size_t size);

// Takes an input apart from the front: control bytes first, the rest last.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  // 0 once the input is used up.
  std::uint8_t Byte() { return Empty() ? 0 : data_[at_++]; }
  // Up to `count` bytes.
  std::string_view Take(std::size_t count);
  // The bytes up to the next zero byte (which is skipped), or to the end.
  std::string_view TakeUntilZero();
  std::string_view Rest() { return Take(size_ - at_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A folder of this process for the files the targets hand to the readers
// (settings files, identity files, journals); removed at exit.
const std::filesystem::path& ScratchFolder();
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFileBytes(const std::filesystem::path& path);
// A path as the analytics client takes it (UTF-8).
std::string PathUtf8(const std::filesystem::path& path);

// The check's verdict as libFuzzer needs it: a finding stops the run.
int RunCheckForLibFuzzer(Check check, const std::uint8_t* data, std::size_t size);

}  // namespace Fuzz
