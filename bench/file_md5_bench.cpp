// Utils::FileMd5 against coreutils' md5sum on the same 1 GiB file, in the
// same run, with the file in the page cache for both. Prints the best of
// several rounds of each and the ratio (goal: at most 1.1x md5sum's time).
//
//   file_md5_bench [size-in-MiB] [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "support/digest.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string RunMd5sum(const fs::path& path) {
  const std::string command = "md5sum '" + path.string() + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  char digest[33] = {};
  const std::size_t n = std::fread(digest, 1, 32, pipe);
  pclose(pipe);
  return std::string(digest, n);
}

template <typename Work>
double BestSeconds(int rounds, Work work, std::string& result) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    result = work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uintmax_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const char* folder = std::getenv("TALVORIN_BENCH_DIR");
  const fs::path path = fs::path(folder != nullptr ? folder : fs::temp_directory_path().string()) /
                        ("talvorin-md5-bench-" + std::to_string(mebibytes) + "MiB.bin");
  if (!Bench::MakeRandomFile(path, mebibytes << 20, 42)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::string ours, peer;
  // One untimed pass of each puts the file in the page cache for both.
  BestSeconds(1, [&] { return Utils::FileMd5(path.string()); }, ours);
  BestSeconds(1, [&] { return RunMd5sum(path); }, peer);
  const double peerSeconds = BestSeconds(rounds, [&] { return RunMd5sum(path); }, peer);
  const double ourSeconds = BestSeconds(rounds, [&] { return Utils::FileMd5(path.string()); }, ours);
  if (ours != peer || ours.size() != 32) {
    std::fprintf(stderr, "digests differ: FileMd5 %s, md5sum %s\n", ours.c_str(), peer.c_str());
    return 1;
  }
  const double mib = static_cast<double>(mebibytes);
  std::printf("file: %ju MiB, best of %d rounds, digest %s\n", mebibytes, rounds, ours.c_str());
  std::printf("md5sum          %7.3f s  %7.1f MiB/s\n", peerSeconds, mib / peerSeconds);
  std::printf("Utils::FileMd5  %7.3f s  %7.1f MiB/s\n", ourSeconds, mib / ourSeconds);
  std::printf("ratio FileMd5/md5sum: %.3f (goal: at most 1.100)\n", ourSeconds / peerSeconds);
  return 0;
}
