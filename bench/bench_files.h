// Input files the benchmarks share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

namespace Bench {

// A file of `size` pseudo-random bytes (incompressible, like a package),
// reused when one of that size is already there. It is written under another
// name and renamed only when complete, so an interrupted run never leaves a
// short file that a later run would take for a finished one.
inline bool MakeRandomFile(const std::filesystem::path& path, std::uintmax_t size, std::uint64_t seed) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(path, error) && fs::file_size(path, error) == size) return true;
  const fs::path partial = path.string() + ".writing";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    std::mt19937_64 random(seed);
    std::vector<std::uint64_t> block(1 << 17);
    for (std::uintmax_t written = 0; written < size;) {
      for (auto& word : block) word = random();
      const auto chunk = static_cast<std::streamsize>(
          std::min<std::uintmax_t>(size - written, block.size() * sizeof(std::uint64_t)));
      out.write(reinterpret_cast<const char*>(block.data()), chunk);
      written += static_cast<std::uintmax_t>(chunk);
    }
    if (!out) return false;
  }
  fs::rename(partial, path, error);
  return !error;
}

}  // namespace Bench
