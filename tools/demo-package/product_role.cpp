// The product "talvorin..exe". "-stay-while=<file>" keeps it running while
// that file exists (at most two minutes), for tests that need the product
// running.
#include <chrono>
#include <cstdio>
#include <system_error>

#include "demo.h"

namespace Demo {

int RunProduct(const Arguments& arguments) {
  const std::string marker = ArgumentValue(arguments, "-stay-while=");
  if (marker.empty()) {
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
