// SkinArchive::Open (parse the headers, unpack and checksum every file into
// memory) on the skin package this program carries, against 7-Zip's own
// `7zz t` (unpack and checksum, output discarded) of the same bytes written to
// a file, in the same run. Prints the best of several rounds of each and the
// ratio. `7zz x -so` then unpacks the files to a pipe, and its bytes must equal
// ours in archive order. The peer's time includes starting its process, which
// is part of what asking it to do the job costs.
//
//   skin_archive_bench [ignored] [rounds]     (the arguments scripts/bench.sh passes)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/embedded_skin.h"
#include "ui/skin_package.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

template <typename Work>
double BestSeconds(int rounds, Work work) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    if (!work()) return -1;
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

bool RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string ReadCommandOutput(const std::string& command) {
  std::string out;
  std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[1 << 16];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const std::span<const unsigned char> bytes = Ui::EmbeddedSkinBytes();
  if (bytes.empty()) {
    std::fprintf(stderr, "this program carries no skin archive\n");
    return 1;
  }
  const char* folder = std::getenv("TALVORIN_BENCH_DIR");
  const fs::path path = fs::path(folder != nullptr ? folder : fs::temp_directory_path().string()) /
                        "talvorin-skin-bench.7z";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  const std::string sevenZip = TALVORIN_7ZZ_PATH;
  const std::string quotedPath = "'" + path.string() + "'";

  // The unpacked bytes in archive order, and a check that both agree on them.
  std::string ours;
  std::size_t files = 0;
  {
    const auto archive = Ui::SkinArchive::Open(bytes.data(), bytes.size());
    if (archive == nullptr) {
      std::fprintf(stderr, "the skin archive does not open\n");
      return 1;
    }
    for (const std::wstring& name : archive->Names()) ours += std::string(*archive->Find(name));
    files = archive->Names().size();
  }
  const std::string peers = ReadCommandOutput(sevenZip + " x -so " + quotedPath);
  if (peers != ours) {
    std::fprintf(stderr, "7zz x -so gives %zu bytes, SkinArchive %zu bytes: they differ\n", peers.size(),
                 ours.size());
    return 1;
  }

  // One untimed pass of each warms the caches for both.
  RunQuietly(sevenZip + " t " + quotedPath);
  const double peerSeconds = BestSeconds(rounds, [&] { return RunQuietly(sevenZip + " t " + quotedPath); });
  const double ourSeconds = BestSeconds(rounds, [&] {
    return Ui::SkinArchive::Open(bytes.data(), bytes.size()) != nullptr;
  });
  if (peerSeconds < 0 || ourSeconds < 0) {
    std::fprintf(stderr, "a round failed\n");
    return 1;
  }
  std::printf("skin archive: %zu bytes packed, %zu files, %zu bytes unpacked, best of %d rounds\n",
              bytes.size(), files, ours.size(), rounds);
  std::printf("7zz t               %8.2f ms\n", peerSeconds * 1e3);
  std::printf("SkinArchive::Open   %8.2f ms\n", ourSeconds * 1e3);
  std::printf("ratio Open/7zz t: %.3f\n", ourSeconds / peerSeconds);
  fs::remove(path);
  return 0;
}
