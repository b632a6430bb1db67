// The installer program in its real window on a private Xvfb (SDL2), driven
// through XTest as a person drives it, against the download alone:
//   - from the program's start to the finish page on the screen: the window,
//     one click on "立即安装", the download, the digest, the package and the
//     records; the peer is `curl -L -o` of the same address in the same run;
//   - the program's peak RSS (VmHWM) on the finish page (goal at most 40 MB);
//   - the program's CPU on each page, as a share of one core: idle on pages
//     0, 1 and 3 over a few seconds each, and on page 2 while it installs.
// The program's CPU is its own (utime + stime of /proc/<pid>/stat); the
// package it runs is a process of its own and not counted.
//
//   installer_window_bench <installer> <server base> <file> [rounds] [idle seconds]
//
// <server base> is the package server's "http://127.0.0.1:PORT"; <file> the
// name of the package beside the server, as its "file=" option takes it.
// bench/installer_bench.sh builds the package and starts the server.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/text.h"
#include "ui/framework/xvfb_display.h"
#include "ui/window/page_reader.h"
#include "ui/window/real_screen.h"
#include "ui/window/real_window_driver.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }

// utime + stime of a process, in seconds; negative once it is gone.
double CpuSeconds(std::uint32_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1.0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  for (int index = 3; index <= 15 && fields >> field; ++index) {
    if (index >= 14) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A memory figure of /proc/<pid>/status ("VmHWM", the peak resident set so
// far; "RssAnon", "RssFile"), in KiB; 0 when unknown.
long StatusKib(std::uint32_t pid, const std::string& name) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind(name + ":", 0) == 0) return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
  }
  return 0;
}

// The CPU share of one core that a process used over `span` from now.
double CpuShareOver(std::uint32_t pid, std::chrono::milliseconds span) {
  const double before = CpuSeconds(pid);
  const Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(span);
  const double after = CpuSeconds(pid);
  return (after - before) / Seconds(Clock::now() - start);
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "installer_window_bench: %s\n", what.c_str());
  std::exit(1);
}

std::string Address(const std::string& base, const std::string& file, const std::string& id) {
  return base + "/s/" + id + ";file=" + file + "/software/456";
}

// A fresh machine for each run: the program's own folder with its settings
// file, and an empty home (records, lock, analytics state, default folder).
struct Machine {
  std::string program;
  std::string home;
};

Machine PrepareMachine(const std::string& root, const std::string& installer, const std::string& address) {
  Machine m;
  fs::remove_all(root);
  fs::create_directories(root + "/program");
  for (const char* folder : {"/home/.config", "/home/.local/share", "/run"}) fs::create_directories(root + folder);
  m.program = root + "/program/talvorin-installer";
  fs::copy_file(installer, m.program);
  std::ofstream(root + "/program/ZorvanInstallerConfig.ini")
      << "[Install]\nDownloadUrl=" << address << "\nIsEnableAppAnalytics=false\nIsCheckNet=false\n";
  setenv("HOME", (root + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/home/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/home/.local/share").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
  return m;
}

// The program, ended at the latest when the object dies.
class Program {
 public:
  explicit Program(const std::string& path) { child_.Start(L"\"" + Wide(path) + L"\""); }
  ~Program() {
    if (child_.IsRunning()) RealWindow::EndProcess(child_.ProcessId());
    child_.WaitForExit();
  }
  std::uint32_t Pid() const { return child_.ProcessId(); }
  bool Running() { return child_.IsRunning(); }

 private:
  Utils::ChildProcess child_;
};

struct Install {
  double startToFinish = 0;
  double installingSeconds = 0;
  double installingCpu = 0;  // share of one core on page 2
  double finishedIdleCpu = 0;
  long peakRssKib = 0;
  long anonymousKib = 0;  // on the finish page: the program's own memory
  long fileKib = 0;       // and mapped files (libraries, fonts), shared with others
};

Install RunInstall(RealWindow::Screen& screen, const RealWindow::PageReader& reader, const Machine& machine,
                   std::chrono::milliseconds idle) {
  Install result;
  const Clock::time_point start = Clock::now();
  Program program(machine.program);
  RealWindow::RealWindowDriver driver(screen, reader, program.Pid(), [&] { return program.Running(); });
  if (!driver.WaitForWindow(60s)) Fail(driver.Error());
  if (!driver.WaitForPage(0, 30s)) Fail(driver.Error());
  driver.ClickControl(L"defaultInstallBtn");
  std::optional<Clock::time_point> installingSince;
  double cpuAtInstalling = 0;
  auto watch = [&](const RealWindow::Picture&, int page) {
    if (page == 2 && !installingSince) {
      installingSince = Clock::now();
      cpuAtInstalling = CpuSeconds(program.Pid());
    }
  };
  if (!driver.WaitForPage(3, 30min, watch)) Fail(driver.Error());
  const Clock::time_point finished = Clock::now();
  result.startToFinish = Seconds(finished - start);
  if (installingSince) {
    result.installingSeconds = Seconds(finished - *installingSince);
    result.installingCpu = (CpuSeconds(program.Pid()) - cpuAtInstalling) / result.installingSeconds;
  }
  result.finishedIdleCpu = CpuShareOver(program.Pid(), idle);
  result.peakRssKib = StatusKib(program.Pid(), "VmHWM");
  result.anonymousKib = StatusKib(program.Pid(), "RssAnon");
  result.fileKib = StatusKib(program.Pid(), "RssFile");
  driver.ClickControl(L"openProduceBtn");
  if (!RealWindow::PollUntil([&] { return !program.Running(); }, 30s))
    Fail("the program did not end after the finish page's button");
  return result;
}

// Idle CPU on the start page and on the custom page.
std::pair<double, double> RunIdle(RealWindow::Screen& screen, const RealWindow::PageReader& reader,
                                  const Machine& machine, std::chrono::milliseconds idle) {
  Program program(machine.program);
  RealWindow::RealWindowDriver driver(screen, reader, program.Pid(), [&] { return program.Running(); });
  if (!driver.WaitForWindow(60s)) Fail(driver.Error());
  if (!driver.WaitForPage(0, 30s)) Fail(driver.Error());
  // What follows the first frame (fonts, images decoded on first use) is
  // start-up, not idling.
  std::this_thread::sleep_for(1s);
  const double start = CpuShareOver(program.Pid(), idle);
  driver.ClickControl(L"customeBtn");
  if (!driver.WaitForPage(1, 30s)) Fail(driver.Error());
  std::this_thread::sleep_for(1s);
  const double custom = CpuShareOver(program.Pid(), idle);
  return {start, custom};
}

double RunCurl(const std::string& address, const std::string& output) {
  fs::remove(output);
  const Clock::time_point start = Clock::now();
  Utils::ChildProcess curl;
  curl.Start(L"curl -sSfL -o \"" + Wide(output) + L"\" \"" + Wide(address) + L"\"");
  if (curl.WaitForExit() != 0) Fail("curl could not download " + address);
  const double seconds = Seconds(Clock::now() - start);
  fs::remove(output);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <installer> <server base> <file> [rounds] [idle seconds]\n", argv[0]);
    return 2;
  }
  const std::string installer = fs::absolute(argv[1]).string();
  const std::string base = argv[2];
  const std::string file = argv[3];
  const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 1;
  const auto idle = std::chrono::milliseconds(argc > 5 ? std::max(1, std::atoi(argv[5])) * 1000 : 3000);

  TestSupport::XvfbDisplay xvfb;
  if (xvfb.Name().empty()) Fail("Xvfb did not start");
  setenv("DISPLAY", xvfb.Name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  std::string error;
  std::unique_ptr<RealWindow::Screen> screen = RealWindow::Screen::Open(error);
  if (!screen) Fail(error);
  RealWindow::PageReader reader;
  if (!reader.Error().empty()) Fail(reader.Error());

  const std::string work = fs::temp_directory_path().string() + "/talvorin-window-bench-" + std::to_string(getpid());
  const std::string tag = std::to_string(getpid());
  double bestCurl = 0, bestOurs = 0;
  Install best;
  long peakRss = 0;
  for (int round = 1; round <= rounds; ++round) {
    const double curl =
        RunCurl(Address(base, file, "window-curl-" + tag + "-" + std::to_string(round)), work + "-curl.bin");
    if (round == 1 || curl < bestCurl) bestCurl = curl;
    const Machine machine =
        PrepareMachine(work, installer, Address(base, file, "window-ours-" + tag + "-" + std::to_string(round)));
    const Install ours = RunInstall(*screen, reader, machine, idle);
    if (round == 1 || ours.startToFinish < bestOurs) {
      bestOurs = ours.startToFinish;
      best = ours;
    }
    peakRss = std::max(peakRss, ours.peakRssKib);
  }
  const std::pair<double, double> idlePages =
      RunIdle(*screen, reader, PrepareMachine(work, installer, Address(base, file, "window-idle-" + tag)), idle);
  fs::remove_all(work);

  const double peakMb = static_cast<double>(peakRss) * 1024.0 / 1e6;
  std::printf("installer window benchmark: the program in its real window on Xvfb (SDL2), driven by XTest, best of %d\n",
              rounds);
  std::printf("  %-52s %8.2f s\n", "curl -L -o (the download alone)", bestCurl);
  std::printf("  %-52s %8.2f s\n", "ours, start to the finish page on the screen", bestOurs);
  std::printf("  start to finish page / download alone: %.2f\n", bestOurs / bestCurl);
  std::printf("  peak RSS %.1f MB (goal at most 40 MB): %s\n", peakMb, peakMb <= 40.0 ? "met" : "MISSED");
  std::printf("  on the finish page: %.1f MB anonymous (its own), %.1f MB mapped files (libraries, fonts)\n",
              static_cast<double>(best.anonymousKib) * 1024.0 / 1e6, static_cast<double>(best.fileKib) * 1024.0 / 1e6);
  std::printf("  CPU of the program, share of one core (idle pages over %lld s each):\n",
              static_cast<long long>(idle.count() / 1000));
  std::printf("    page 0 (start), idle        %6.1f %%\n", idlePages.first * 100);
  std::printf("    page 1 (custom), idle       %6.1f %%\n", idlePages.second * 100);
  std::printf("    page 2 (installing)         %6.1f %%  over its %.2f s\n", best.installingCpu * 100,
              best.installingSeconds);
  std::printf("    page 3 (finished), idle     %6.1f %%\n", best.finishedIdleCpu * 100);
  return 0;
}
