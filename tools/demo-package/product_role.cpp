// The product "talvorin..exe". "-stay-while=<file>" keeps it running while
// that file exists (at most two minutes), for tests that need the product
// running. Each plain start appends a line to "product-starts.txt" beside
// the program, so that a test sees how often the product was started.
// "-linger=<ms>" only waits (the copy a setup leaves holding its output),
// keeping the file of "-linger-mark=" meanwhile.
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "demo.h"

namespace Demo {

int RunProduct(const Arguments& arguments) {
  const std::string linger = ArgumentValue(arguments, "-linger=");
  if (!linger.empty()) {
    const std::filesystem::path mark = PathFromUtf8(ArgumentValue(arguments, "-linger-mark="));
    std::error_code error;
    if (!mark.empty()) std::ofstream(mark) << "lingering\n";
    Pause(std::atoi(linger.c_str()));
    if (!mark.empty()) std::filesystem::remove(mark, error);
    return 0;
  }
  const std::string marker = ArgumentValue(arguments, "-stay-while=");
  if (marker.empty()) {
    std::ofstream(OwnExecutable().parent_path() / "product-starts.txt", std::ios::app | std::ios::binary) << "started\n";
    std::printf("Talvorin demo product\n");
    return 0;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  std::error_code error;
  while (std::filesystem::exists(PathFromUtf8(marker), error) &&
         std::chrono::steady_clock::now() < deadline) {
    Pause(50);
  }
  return 0;
}

}  // namespace Demo
