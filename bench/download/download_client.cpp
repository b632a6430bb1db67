// One download with one of our downloaders, as a program of its own, so that
// the download benchmark measures it exactly as it measures curl and aria2c:
// wall time, CPU time and peak memory of a child process.
//
//   talvorin-download-client <type> <url> <target>
//
// <type> is the installer's download type (1 one stream, 3 two ranges).
// Answers a restart request by starting again, as the installer does. Exit
// status: 0 after DL_CODE_SUCCESS, 1 after DL_CODE_FAIL, 2 on bad
// arguments, 3 when no outcome arrived in time.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include <curl/curl.h>

#include "support/installer_settings.h"
#include "download/downloader.h"
#include "support/text.h"

namespace {

// Far above any run of the benchmark (1 GiB at 20 MiB/s takes under a
// minute), so only a hung downloader reaches it.
constexpr auto kOutcomeTimeLimit = std::chrono::minutes(10);

struct Outcome {
  std::mutex lock;
  std::condition_variable changed;
  bool done = false;
  bool success = false;
  double value = 0.0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <type> <url> <target>\n", argv[0]);
    return 2;
  }
  const int type = std::atoi(argv[1]);
  const std::wstring url = Utils::ToWide(argv[2], Utils::kCodePageUtf8);
  const std::wstring target = Utils::ToWide(argv[3], Utils::kCodePageAnsi);

  // The installer's entry does the same: a failure only clears the flag.
  if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) Installer::TheInstallerSettings().curlReady = false;

  Outcome outcome;
  std::unique_ptr<CDownloader> downloader;
  auto notify = [&](std::int32_t code, double value, const wchar_t*) {
    if (code == DL_CODE_RETRY) {
      // Allowed from inside the notification; the downloader asks at most once.
      downloader->Start();
      return;
    }
    if (code != DL_CODE_SUCCESS && code != DL_CODE_FAIL) return;
    std::lock_guard<std::mutex> guard(outcome.lock);
    outcome.done = true;
    outcome.success = code == DL_CODE_SUCCESS;
    outcome.value = value;
    outcome.changed.notify_all();
  };
  downloader = CreateDownloader(type, notify, url, target);
  downloader->Start();

  bool finished = false;
  bool success = false;
  double value = 0.0;
  {
    std::unique_lock<std::mutex> guard(outcome.lock);
    finished = outcome.changed.wait_for(guard, kOutcomeTimeLimit, [&] { return outcome.done; });
    success = outcome.success;
    value = outcome.value;
  }
  if (!finished) {
    // The downloader's destructor would wait for the hung transfer: leave
    // without it.
    std::fprintf(stderr, "no outcome within %lld s\n",
                 static_cast<long long>(std::chrono::seconds(kOutcomeTimeLimit).count()));
    std::fflush(stderr);
    std::_Exit(3);
  }
  downloader.reset();
  curl_global_cleanup();
  if (!success) {
    std::fprintf(stderr, "download failed, code %.0f\n", value);
    return 1;
  }
  return 0;
}
