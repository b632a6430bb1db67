// Our two libcurl downloaders against curl and aria2c, all fetching the same
// packages from the same nginx on loopback in the same run.
//
//   download_bench [size-in-MiB] [rounds]
//   download_bench sha256 [size-in-MiB] [rounds]
//
// size-in-MiB: 256 or 1024 runs that package only; absent (or 0) runs both.
// rounds: rounds of every measurement (default 3); the best wall time counts.
//
// "sha256" measures the verified download alone: one stream (type 1) from a
// final address whose digest segment is the package's SHA-256 (64 digits),
// which it hashes while receiving, against `curl` of the same address and
// `sha256sum` of the same bytes, in the same rounds. Its floor is the larger
// of the bare transfer and the bare hash; the goal is at most 1.05x that.
//
// Every download is a child process measured from fork to wait4: wall time,
// user+system CPU seconds and peak resident memory (ru_maxrss). The packages
// are pseudo-random bytes kept in TALVORIN_BENCH_DIR (or the temp folder) and
// reused by later runs; they are in the page cache for every timed run. The
// targets of every client go to the same folder: a tmpfs when one has room,
// so that no client pays for a disk the others did not.
//
// Goals (each line says "met" or "MISSED" with the figure):
//   - one stream (download type 1) within 1.1x curl's wall time;
//   - two ranges (download type 3) within 1.1x aria2c's wall time;
//   - with 20 MiB/s per connection, two ranges at most 0.55x one stream's time;
//   - CPU seconds per GiB at most 1.2x curl's;
//   - peak RSS flat in the package size (1 GiB run at most 1.1x the 256 MiB run);
//   - "sha256": the verified download at most 1.05x the larger of curl's and
//     sha256sum's wall time (openssl's hash is printed beside it as context).
// A missed goal is reported, not turned into a failure; the exit status is
// non-zero only when the harness cannot run or a download fails or delivers
// the wrong bytes.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_files.h"
#include "support/digest.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uintmax_t kMiB = 1024 * 1024;
// A single run never comes near this (1 GiB at 20 MiB/s is 51 s); only a hung
// client does, and it is then killed.
constexpr auto kRunTimeLimit = std::chrono::seconds(300);
constexpr auto kServerStartLimit = std::chrono::seconds(10);
constexpr auto kServerStopLimit = std::chrono::seconds(10);

// Set by SIGINT/SIGTERM: the run in progress is killed and the benchmark
// removes its server, targets and temp folder before it ends, so an
// interrupted run leaves no gigabyte behind in a tmpfs.
volatile std::sig_atomic_t stopRequested = 0;
extern "C" void RequestStop(int) { stopRequested = 1; }

// ---------------------------------------------------------------- files

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void ReplaceAll(std::string& text, const std::string& key, const std::string& value) {
  for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
}

// The first file called `name` among the folders of PATH and `extra`.
std::string FindProgram(const std::string& name, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> folders;
  if (const char* path = std::getenv("PATH")) {
    std::stringstream list(path);
    for (std::string folder; std::getline(list, folder, ':');)
      if (!folder.empty()) folders.push_back(folder);
  }
  folders.insert(folders.end(), extra.begin(), extra.end());
  for (const auto& folder : folders) {
    const std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

double OwnRssMiB() {
  long pages = 0, resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / static_cast<double>(kMiB);
}

// ---------------------------------------------------------------- children

struct Measurement {
  bool ok = false;
  std::string failure;  // why ok is false
  double wallSeconds = 0.0;
  double cpuSeconds = 0.0;
  double peakRssMiB = 0.0;
};

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Runs `args` (args[0] a full path) with stdin and stdout on /dev/null and
// stderr into `errorPath`, and measures it. The benchmark itself holds no
// threads, so the child may do anything between fork and exec.
Measurement RunChild(const std::vector<std::string>& args, const fs::path& errorPath) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const int errorFile = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int nullFile = open("/dev/null", O_RDWR | O_CLOEXEC);

  Measurement result;
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(nullFile, 0);
    dup2(nullFile, 1);
    dup2(errorFile >= 0 ? errorFile : nullFile, 2);
    // Our clients then run as the installer does with no log listener.
    unsetenv("TALVORIN_DEBUG_LOG");
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (errorFile >= 0) close(errorFile);
  if (nullFile >= 0) close(nullFile);
  if (pid < 0) {
    result.failure = std::string("fork: ") + std::strerror(errno);
    return result;
  }

  // Waits on a pidfd so that the end is seen at once without polling.
  bool timedOut = false;
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  const auto deadline = start + kRunTimeLimit;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || stopRequested) {
      timedOut = true;
      break;
    }
    if (pidfd >= 0) {
      pollfd entry{pidfd, POLLIN, 0};
      if (poll(&entry, 1, static_cast<int>(std::min<long long>(left, 1000))) > 0) break;
    } else {
      // Kernels before 5.3: look every 2 ms without reaping, so wait4 below
      // still collects the child's resource usage.
      siginfo_t info{};
      if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (pidfd >= 0) close(pidfd);
  result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  result.peakRssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  if (stopRequested) {
    result.failure = "interrupted";
  } else if (timedOut) {
    result.failure = "killed after " + std::to_string(kRunTimeLimit.count()) + " s";
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    result.ok = true;
  } else {
    std::string text = ReadText(errorPath);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    result.failure = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                       : "signal " + std::to_string(WTERMSIG(status));
    if (!text.empty()) result.failure += ": " + text.substr(0, 300);
  }
  return result;
}

// ---------------------------------------------------------------- server

// A port on loopback that nobody listens on right now. The sockets stay open
// until every port is chosen, so two calls never answer the same port.
std::vector<int> FreePorts(int count) {
  std::vector<int> sockets, ports;
  for (int i = 0; i < count; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      if (fd >= 0) close(fd);
      break;
    }
    sockets.push_back(fd);
    ports.push_back(ntohs(address.sin_port));
  }
  for (const int fd : sockets) close(fd);
  return ports;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

struct Package {
  int mebibytes = 0;
  fs::path file;          // in the data folder
  std::string md5;
  std::string sha256;      // filled for the "sha256" run only
  std::string servedName;  // the file name in the final address
  std::string route;       // the configured address's path, redirected to "/<md5>/<name>"
};

class Nginx {
 public:
  ~Nginx() { Stop(); }

  // Writes the configuration from the template into a private prefix and
  // starts nginx in the foreground; false (with the reason on stderr) when it
  // does not answer on both ports in time.
  bool Start(const std::string& program, const fs::path& templatePath, const std::vector<Package>& packages) {
    const std::string temp = fs::temp_directory_path().string() + "/talvorin-nginx-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
      std::fprintf(stderr, "cannot create a folder like %s: %s\n", temp.c_str(), std::strerror(errno));
      return false;
    }
    prefix_ = name.data();
    std::error_code error;
    fs::permissions(prefix_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec, error);
    std::string config = ReadText(templatePath);
    if (config.empty()) {
      std::fprintf(stderr, "cannot read %s\n", templatePath.c_str());
      return false;
    }
    const auto ports = FreePorts(2);
    if (ports.size() != 2) {
      std::fprintf(stderr, "no free port on 127.0.0.1\n");
      return false;
    }
    port_ = ports[0];
    slowPort_ = ports[1];

    // The www folder holds "<md5>/<name>" as links to the packages, so the
    // packages stay where later runs find them again.
    std::map<int, std::string> paths{{256, "/not-prepared"}, {1024, "/not-prepared"}};
    std::map<int, std::string> shaPaths = paths;
    for (const auto& package : packages) {
      for (const std::string* digest : {&package.md5, &package.sha256}) {
        if (digest->empty()) continue;
        const fs::path folder = prefix_ / "www" / *digest;
        fs::create_directories(folder, error);
        fs::create_symlink(fs::absolute(package.file), folder / package.servedName, error);
        if (error) {
          std::fprintf(stderr, "cannot link %s into %s: %s\n", package.file.c_str(), folder.c_str(),
                       error.message().c_str());
          return false;
        }
        (digest == &package.md5 ? paths : shaPaths)[package.mebibytes] = "/" + *digest + "/" + package.servedName;
      }
    }
    ReplaceAll(config, "@USER_LINE@",
               geteuid() == 0 ? "user root;  # the packages may sit in folders only root can enter"
                              : "# workers run as the user who started the benchmark");
    ReplaceAll(config, "@PREFIX@", prefix_.string());
    ReplaceAll(config, "@PORT@", std::to_string(port_));
    ReplaceAll(config, "@SLOW_PORT@", std::to_string(slowPort_));
    ReplaceAll(config, "@PATH_256@", paths[256]);
    ReplaceAll(config, "@PATH_1024@", paths[1024]);
    ReplaceAll(config, "@SHA_PATH_256@", shaPaths[256]);
    ReplaceAll(config, "@SHA_PATH_1024@", shaPaths[1024]);
    std::ofstream(prefix_ / "nginx.conf") << config;

    const std::string prefixArg = prefix_.string() + "/";
    const std::string errorLog = (prefix_ / "error.log").string();
    const std::string configPath = (prefix_ / "nginx.conf").string();
    std::vector<std::string> args{program, "-p", prefixArg, "-e", errorLog, "-c", configPath};
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int output = open((prefix_ / "nginx.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
      // nginx ends with the benchmark even when the benchmark is killed.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (output >= 0) {
        dup2(output, 1);
        dup2(output, 2);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (output >= 0) close(output);
    if (pid_ < 0) {
      std::fprintf(stderr, "fork: %s\n", std::strerror(errno));
      return false;
    }
    const auto deadline = Clock::now() + kServerStartLimit;
    while (Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        std::fprintf(stderr, "nginx ended at start:\n%s%s", ReadText(prefix_ / "nginx.out").c_str(),
                     ReadText(prefix_ / "error.log").c_str());
        return false;
      }
      if (Accepts(port_) && Accepts(slowPort_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(stderr, "nginx did not answer within %lld s\n", static_cast<long long>(kServerStartLimit.count()));
    return false;
  }

  // Fast shutdown (SIGTERM), then SIGKILL when it takes too long; removes the prefix.
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      const auto deadline = Clock::now() + kServerStopLimit;
      int status = 0;
      while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
          kill(pid_, SIGKILL);
          waitpid(pid_, &status, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      pid_ = -1;
    }
    if (!prefix_.empty()) {
      std::error_code error;
      fs::remove_all(prefix_, error);  // removes the links, not the packages
      prefix_.clear();
    }
  }

  std::string Url(bool slow, const Package& package) const {
    return "http://127.0.0.1:" + std::to_string(slow ? slowPort_ : port_) + package.route;
  }
  // The entry address whose final address carries the package's SHA-256.
  std::string Sha256Url(const Package& package) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/sha256" + package.route;
  }
  const fs::path& Prefix() const { return prefix_; }

 private:
  pid_t pid_ = -1;
  fs::path prefix_;
  int port_ = 0;
  int slowPort_ = 0;
};

// ---------------------------------------------------------------- clients

enum Contender { kCurl, kOurs1, kAria2, kOurs3, kContenders };
constexpr std::array<const char*, kContenders> kNames{
    "curl -L -o", "ours, one stream (type 1)", "aria2c -x2 -s2", "ours, two ranges (type 3)"};

struct Tools {
  std::string curl, aria2c, md5sum, client;
};

std::vector<std::string> Command(Contender who, const Tools& tools, const std::string& url, const fs::path& target) {
  switch (who) {
    case kCurl:
      // -q first: no ~/.curlrc changes what is measured.
      return {tools.curl, "-q", "-sS", "-L", "-o", target.string(), url};
    case kOurs1:
      return {tools.client, "1", url, target.string()};
    case kAria2:
      // No periodic control file (it is removed on success anyway), no
      // renaming around an existing file, no user configuration.
      return {tools.aria2c, "--no-conf", "-q", "-x2", "-s2", "--allow-overwrite=true",
              "--auto-file-renaming=false", "--auto-save-interval=0", "-d", target.parent_path().string(),
              "-o", target.filename().string(), url};
    case kOurs3:
      return {tools.client, "3", url, target.string()};
    default:
      return {};
  }
}

struct Result {
  int runs = 0;
  int failures = 0;
  std::string lastFailure;
  double bestWall = 0.0;
  double minCpu = 0.0;
  double peakRss = 0.0;
  std::vector<std::string> leftovers;
};

void Record(Result& result, const Measurement& m) {
  if (!m.ok) {
    ++result.failures;
    result.lastFailure = m.failure;
    return;
  }
  result.bestWall = result.runs == 0 ? m.wallSeconds : std::min(result.bestWall, m.wallSeconds);
  result.minCpu = result.runs == 0 ? m.cpuSeconds : std::min(result.minCpu, m.cpuSeconds);
  result.peakRss = std::max(result.peakRss, m.peakRssMiB);
  ++result.runs;
}

// Removes everything in the target folder; answers what was there besides
// the target itself (side files, part files, control files left behind).
std::vector<std::string> ClearTargets(const fs::path& folder, const std::string& targetName) {
  std::vector<std::string> others;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name != targetName) others.push_back(name);
    fs::remove_all(entry.path(), error);
  }
  return others;
}

// The folder for the downloaded files: /dev/shm when it is a tmpfs with room
// for the largest package twice over (the two-range join briefly holds part
// files beside the growing whole), else the data folder.
fs::path ChooseTargetFolder(const fs::path& dataFolder, std::uintmax_t largest) {
  struct statvfs info {};
  fs::path base = dataFolder;
  if (statvfs("/dev/shm", &info) == 0 &&
      static_cast<std::uintmax_t>(info.f_bavail) * info.f_frsize > 2 * largest + 256 * kMiB &&
      access("/dev/shm", W_OK) == 0)
    base = "/dev/shm";
  return base / ("talvorin-download-targets-" + std::to_string(getpid()));
}

// ---------------------------------------------------------------- report

struct Scenario {
  const Package* package;
  bool slow;
  std::array<Result, kContenders> results;
};

std::string ScenarioName(const Scenario& s) {
  char text[64];
  std::snprintf(text, sizeof text, "%4d MiB %-13s", s.package->mebibytes, s.slow ? "20 MiB/s/conn" : "unthrottled");
  return text;
}

bool Usable(const Result& r) { return r.runs > 0 && r.failures == 0; }

void GoalLine(const std::string& where, const std::string& what, bool measurable, double ratio, double goal,
              const std::string& figures) {
  if (!measurable) {
    std::printf("  %s  %-40s  MISSED: not measured (a download failed)\n", where.c_str(), what.c_str());
    return;
  }
  std::printf("  %s  %-40s  %6.3f (goal at most %.2f)  %-6s  %s\n", where.c_str(), what.c_str(), ratio, goal,
              ratio <= goal ? "met" : "MISSED", figures.c_str());
}

std::string Figures(const char* format, double a, double b) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}


// ---------------------------------------------------------------- sha256 run

std::string FileSha256(const fs::path& path) {
  return Utils::FileDigest(path.string(), Utils::HashAlgorithm::kSha256);
}

// The verified download through one stream against its two floors, the bare
// transfer (curl) and the bare hash (sha256sum), interleaved round by round.
int RunSha256(const Tools& tools, const std::string& sha256sum, const std::string& nginx,
              std::vector<Package>& packages, const fs::path& targetFolder, int rounds) {
  for (auto& package : packages) {
    package.sha256 = FileSha256(package.file);
    if (package.sha256.size() != 64) {
      std::fprintf(stderr, "cannot hash %s\n", package.file.c_str());
      return 1;
    }
  }
  Nginx server;
  if (!server.Start(nginx, TALVORIN_NGINX_TEMPLATE, packages)) return 1;
  const fs::path errorPath = server.Prefix() / "client.err";
  std::printf("SHA-256 benchmark: nginx on 127.0.0.1, targets in %s, best wall time of %d round(s)\n",
              targetFolder.c_str(), rounds);
  // OpenSSL's own hash (the library ours uses on Linux) is context: a
  // stricter hash floor than coreutils' sha256sum where the processor has
  // SHA instructions.
  enum { kBareTransfer, kBareHash, kVerified, kOpensslHash, kRuns };
  constexpr std::array<const char*, kRuns> names{"curl -L -o (no digest)", "sha256sum of the same bytes",
                                                 "ours, one stream, SHA-256", "openssl dgst -sha256 (context)"};
  const std::string openssl = FindProgram("openssl");
  const int runs = openssl.empty() ? kOpensslHash : kRuns;
  bool broken = false;
  std::vector<std::pair<const Package*, std::array<Result, kRuns>>> results;
  for (const auto& package : packages) {
    if (stopRequested) break;
    const fs::path target = targetFolder / package.servedName;
    const std::string url = server.Sha256Url(package);
    std::printf("running %d MiB: %s\n", package.mebibytes, url.c_str());
    std::fflush(stdout);
    // Untimed: checks the route to the SHA-256 address and warms the cache.
    const Measurement warm = RunChild({tools.client, "1", url, target.string()}, errorPath);
    if (!warm.ok || FileSha256(target) != package.sha256) {
      std::fprintf(stderr, "warm-up download of %s failed: %s\n", url.c_str(),
                   warm.ok ? "wrong bytes" : warm.failure.c_str());
      return 1;
    }
    ClearTargets(targetFolder, package.servedName);
    std::array<Result, kRuns> row{};
    for (int round = 0; round < rounds && !stopRequested; ++round) {
      for (int who = 0; who < runs && !stopRequested; ++who) {
        std::vector<std::string> command;
        if (who == kBareTransfer) command = {tools.curl, "-q", "-sS", "-L", "-o", target.string(), url};
        if (who == kBareHash) command = {sha256sum, package.file.string()};
        if (who == kVerified) command = {tools.client, "1", url, target.string()};
        if (who == kOpensslHash) command = {openssl, "dgst", "-sha256", package.file.string()};
        Measurement m = RunChild(command, errorPath);
        if (m.ok && (who == kBareTransfer || who == kVerified) && Utils::FileMd5(target.string()) != package.md5) {
          m.ok = false;
          m.failure = "the target's MD5 differs from the package's";
        }
        Record(row[static_cast<std::size_t>(who)], m);
        ClearTargets(targetFolder, package.servedName);
      }
    }
    results.push_back({&package, row});
  }
  server.Stop();
  if (stopRequested) {
    std::fprintf(stderr, "interrupted\n");
    return 130;
  }

  std::printf("\n%-10s %-30s %8s %8s %8s %9s\n", "package", "run", "wall s", "MiB/s", "CPU s", "peak RSS");
  for (const auto& [package, row] : results) {
    for (int who = 0; who < runs; ++who) {
      const Result& r = row[static_cast<std::size_t>(who)];
      if (!Usable(r)) {
        broken = true;
        std::printf("%4d MiB    %-30s FAILED %d of %d: %s\n", package->mebibytes, names[static_cast<std::size_t>(who)],
                    r.failures, r.failures + r.runs, r.lastFailure.c_str());
        continue;
      }
      std::printf("%4d MiB    %-30s %8.3f %8.1f %8.3f %5.1f MiB\n", package->mebibytes,
                  names[static_cast<std::size_t>(who)], r.bestWall, package->mebibytes / r.bestWall, r.minCpu,
                  r.peakRss);
    }
  }
  std::printf("\ngoals (ratio of our figure to the floor, measured in this run)\n");
  for (const auto& [package, row] : results) {
    char where[32];
    std::snprintf(where, sizeof where, "%4d MiB", package->mebibytes);
    const Result& transfer = row[kBareTransfer];
    const Result& hash = row[kBareHash];
    const Result& ours = row[kVerified];
    const bool measurable = Usable(transfer) && Usable(hash) && Usable(ours);
    const double floor = std::max(transfer.bestWall, hash.bestWall);
    GoalLine(where, "verified wall time / max(curl, sha256sum)", measurable, ours.bestWall / floor, 1.05,
             Figures("(%.3f s vs %.3f s)", ours.bestWall, floor));
    if (measurable) {
      std::printf("  %s  ratios: ours / curl %.3f, ours / sha256sum %.3f, ours / (curl + sha256sum) %.3f; "
                  "CPU s: ours %.3f, curl + sha256sum %.3f\n",
                  where, ours.bestWall / transfer.bestWall, ours.bestWall / hash.bestWall,
                  ours.bestWall / (transfer.bestWall + hash.bestWall), ours.minCpu, transfer.minCpu + hash.minCpu);
      const Result& strict = row[kOpensslHash];
      if (Usable(strict)) {
        const double strictFloor = std::max(transfer.bestWall, strict.bestWall);
        std::printf("  %s  context: with openssl's hash as the floor, ours / max(curl, openssl) %.3f (%.3f s vs %.3f s)\n",
                    where, ours.bestWall / strictFloor, ours.bestWall, strictFloor);
      }
    }
  }
  if (broken) std::printf("\nsome runs failed or delivered wrong bytes: see FAILED above\n");
  return broken ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool sha256Run = argc > 1 && std::string(argv[1]) == "sha256";
  const int first = sha256Run ? 2 : 1;
  const int onlySize = argc > first ? std::atoi(argv[first]) : 0;
  const int rounds = std::max(1, argc > first + 1 ? std::atoi(argv[first + 1]) : 3);
  if (onlySize != 0 && onlySize != 256 && onlySize != 1024) {
    std::fprintf(stderr, "usage: %s [sha256] [256|1024] [rounds]\n", argv[0]);
    return 2;
  }
  std::vector<int> sizes;
  if (onlySize == 0 || onlySize == 256) sizes.push_back(256);
  if (onlySize == 0 || onlySize == 1024) sizes.push_back(1024);

  Tools tools;
  tools.curl = FindProgram("curl");
  tools.aria2c = FindProgram("aria2c");
  tools.md5sum = FindProgram("md5sum");
  tools.client = TALVORIN_DOWNLOAD_CLIENT;
  const std::string nginx = FindProgram("nginx", {"/usr/sbin", "/sbin"});
  const std::string sha256sum = FindProgram("sha256sum");
  if (sha256Run && (tools.curl.empty() || sha256sum.empty() || nginx.empty())) {
    std::fprintf(stderr, "needs curl, sha256sum and nginx (Debian packages curl coreutils nginx)\n");
    return 1;
  }
  if (!sha256Run && (tools.curl.empty() || tools.aria2c.empty() || tools.md5sum.empty() || nginx.empty())) {
    std::fprintf(stderr, "needs curl, aria2c, md5sum and nginx (Debian packages curl aria2 coreutils nginx)\n");
    return 1;
  }

  const char* folder = std::getenv("TALVORIN_BENCH_DIR");
  const fs::path dataFolder = folder != nullptr ? fs::path(folder) : fs::temp_directory_path();
  std::error_code error;
  fs::create_directories(dataFolder, error);

  std::vector<Package> packages;
  for (const int size : sizes) {
    Package package;
    package.mebibytes = size;
    package.file = dataFolder / ("talvorin-download-bench-" + std::to_string(size) + "MiB.bin");
    package.servedName = "TalvorinSetup-" + std::to_string(size) + "MiB.exe";
    package.route = size == 256 ? "/software/456" : "/big/software/456";
    std::printf("preparing %s\n", package.file.c_str());
    std::fflush(stdout);
    if (!Bench::MakeRandomFile(package.file, static_cast<std::uintmax_t>(size) * kMiB, 0x7a1u + static_cast<unsigned>(size))) {
      std::fprintf(stderr, "cannot write %s\n", package.file.c_str());
      return 1;
    }
    // Reading the package for its digest also puts it in the page cache.
    package.md5 = Utils::FileMd5(package.file.string());
    if (package.md5.size() != 32) {
      std::fprintf(stderr, "cannot read %s\n", package.file.c_str());
      return 1;
    }
    packages.push_back(package);
  }

  const fs::path targetFolder =
      ChooseTargetFolder(dataFolder, static_cast<std::uintmax_t>(sizes.back()) * kMiB);
  fs::create_directories(targetFolder, error);
  if (error) {
    std::fprintf(stderr, "cannot create %s: %s\n", targetFolder.c_str(), error.message().c_str());
    return 1;
  }
  struct RemoveOnExit {
    fs::path folder;
    ~RemoveOnExit() {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  } removeTargets{targetFolder};
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  if (sha256Run) return RunSha256(tools, sha256sum, nginx, packages, targetFolder, rounds);

  Nginx server;
  if (!server.Start(nginx, TALVORIN_NGINX_TEMPLATE, packages)) return 1;
  const fs::path errorPath = server.Prefix() / "client.err";

  std::printf("download benchmark: nginx on 127.0.0.1, targets in %s, best wall time of %d round(s)\n",
              targetFolder.c_str(), rounds);
  // Only the anonymous part of it carries over a fork into a child's peak.
  std::printf("the benchmark's own RSS when it starts a client: %.1f MiB\n", OwnRssMiB());

  bool broken = false;
  std::vector<Scenario> scenarios;
  std::map<int, Measurement> md5sumRuns;
  for (const auto& package : packages) {
    if (stopRequested) break;
    const fs::path target = targetFolder / package.servedName;
    // Untimed: checks the server and the redirect, and warms the cache.
    const Measurement warm = RunChild(Command(kCurl, tools, server.Url(false, package), target), errorPath);
    if (!warm.ok || Utils::FileMd5(target.string()) != package.md5) {
      std::fprintf(stderr, "warm-up download of %s failed: %s\n", server.Url(false, package).c_str(),
                   warm.ok ? "wrong bytes" : warm.failure.c_str());
      return 1;
    }
    // What digest verification alone costs: both of our downloaders check
    // the MD5 of what they fetched, the peers do not.
    Measurement best;
    for (int round = 0; round < rounds; ++round) {
      const Measurement m = RunChild({tools.md5sum, target.string()}, errorPath);
      if (m.ok && (!best.ok || m.wallSeconds < best.wallSeconds)) best = m;
    }
    md5sumRuns[package.mebibytes] = best;
    ClearTargets(targetFolder, package.servedName);

    for (const bool slow : {false, true}) {
      if (stopRequested) break;
      Scenario scenario{&package, slow, {}};
      const std::string url = server.Url(slow, package);
      std::printf("running %s: %s\n", ScenarioName(scenario).c_str(), url.c_str());
      std::fflush(stdout);
      // Rounds interleave the clients, so a slow phase of the machine does
      // not fall on one client only.
      for (int round = 0; round < rounds && !stopRequested; ++round) {
        for (int who = 0; who < kContenders && !stopRequested; ++who) {
          Result& result = scenario.results[static_cast<std::size_t>(who)];
          Measurement m = RunChild(Command(static_cast<Contender>(who), tools, url, target), errorPath);
          if (m.ok && Utils::FileMd5(target.string()) != package.md5) {
            m.ok = false;
            m.failure = "the target's MD5 differs from the package's";
          }
          Record(result, m);
          for (const auto& name : ClearTargets(targetFolder, package.servedName))
            if (std::find(result.leftovers.begin(), result.leftovers.end(), name) == result.leftovers.end())
              result.leftovers.push_back(name);
        }
      }
      scenarios.push_back(scenario);
    }
  }
  server.Stop();
  fs::remove_all(targetFolder, error);
  if (stopRequested) {
    std::fprintf(stderr, "interrupted\n");
    return 130;
  }

  // ------------------------------------------------------------ table
  std::printf("\n%-24s %-27s %8s %8s %8s %9s %9s\n", "package, server", "client", "wall s", "MiB/s", "CPU s",
              "CPU s/GiB", "peak RSS");
  for (const auto& s : scenarios) {
    const double gib = static_cast<double>(s.package->mebibytes) / 1024.0;
    for (int who = 0; who < kContenders; ++who) {
      const Result& r = s.results[static_cast<std::size_t>(who)];
      if (!Usable(r)) {
        broken = true;
        std::printf("%-24s %-27s FAILED %d of %d: %s\n", ScenarioName(s).c_str(), kNames[static_cast<std::size_t>(who)],
                    r.failures, r.failures + r.runs, r.lastFailure.c_str());
        continue;
      }
      std::printf("%-24s %-27s %8.3f %8.1f %8.3f %9.3f %5.1f MiB\n", ScenarioName(s).c_str(),
                  kNames[static_cast<std::size_t>(who)], r.bestWall, s.package->mebibytes / r.bestWall, r.minCpu,
                  r.minCpu / gib, r.peakRss);
    }
    for (int who = 0; who < kContenders; ++who) {
      const Result& r = s.results[static_cast<std::size_t>(who)];
      if (r.leftovers.empty()) continue;
      std::string names;
      for (const auto& name : r.leftovers) names += " " + name;
      std::printf("%-24s %-27s left files behind:%s\n", ScenarioName(s).c_str(), kNames[static_cast<std::size_t>(who)],
                  names.c_str());
    }
  }
  for (const auto& [size, m] : md5sumRuns) {
    if (!m.ok) continue;
    const double gib = static_cast<double>(size) / 1024.0;
    std::printf("%4d MiB, for reference    %-27s %8.3f %8.1f %8.3f %9.3f %5.1f MiB\n", size, "md5sum of the target",
                m.wallSeconds, size / m.wallSeconds, m.cpuSeconds, m.cpuSeconds / gib, m.peakRssMiB);
  }

  // ------------------------------------------------------------ goals
  std::printf("\ngoals (ratio of our figure to the peer's, measured in this run)\n");
  for (const auto& s : scenarios) {
    const std::string where = ScenarioName(s);
    const auto& curl = s.results[kCurl];
    const auto& one = s.results[kOurs1];
    const auto& aria = s.results[kAria2];
    const auto& two = s.results[kOurs3];
    const double gib = static_cast<double>(s.package->mebibytes) / 1024.0;
    GoalLine(where, "one stream wall time / curl's", Usable(one) && Usable(curl),
             one.bestWall / curl.bestWall, 1.1, Figures("(%.3f s vs %.3f s)", one.bestWall, curl.bestWall));
    GoalLine(where, "two ranges wall time / aria2c's", Usable(two) && Usable(aria),
             two.bestWall / aria.bestWall, 1.1, Figures("(%.3f s vs %.3f s)", two.bestWall, aria.bestWall));
    if (s.slow)
      GoalLine(where, "two ranges wall time / one stream's", Usable(two) && Usable(one),
               two.bestWall / one.bestWall, 0.55, Figures("(%.3f s vs %.3f s)", two.bestWall, one.bestWall));
    GoalLine(where, "one stream CPU per GiB / curl's", Usable(one) && Usable(curl),
             one.minCpu / curl.minCpu, 1.2, Figures("(%.3f vs %.3f CPU s/GiB)", one.minCpu / gib, curl.minCpu / gib));
    GoalLine(where, "two ranges CPU per GiB / curl's", Usable(two) && Usable(curl),
             two.minCpu / curl.minCpu, 1.2, Figures("(%.3f vs %.3f CPU s/GiB)", two.minCpu / gib, curl.minCpu / gib));
  }
  // Peak RSS flat in the package size: the largest peak of a client over the
  // 1 GiB runs against its largest peak over the 256 MiB runs.
  for (const Contender who : {kOurs1, kOurs3}) {
    std::map<int, double> peak;
    std::map<int, bool> usable;
    for (const auto& s : scenarios) {
      const Result& r = s.results[who];
      const int size = s.package->mebibytes;
      if (!usable.count(size)) usable[size] = true;
      usable[size] = usable[size] && Usable(r);
      peak[size] = std::max(peak[size], r.peakRss);
    }
    const std::string what = std::string(who == kOurs1 ? "one stream" : "two ranges") + " peak RSS 1 GiB / 256 MiB";
    if (!usable.count(256) || !usable.count(1024)) {
      std::printf("  %-24s  %-40s  not measured: needs both package sizes\n", "", what.c_str());
      continue;
    }
    GoalLine(std::string(24, ' '), what, usable[256] && usable[1024], peak[1024] / peak[256], 1.1,
             Figures("(%.1f MiB vs %.1f MiB)", peak[1024], peak[256]));
  }
  // Context, not goals: both of our downloaders read the whole package once
  // more for its MD5, which the peers never do.
  for (const auto& s : scenarios) {
    const auto found = md5sumRuns.find(s.package->mebibytes);
    const auto& curl = s.results[kCurl];
    const auto& one = s.results[kOurs1];
    if (s.slow || found == md5sumRuns.end() || !found->second.ok || !Usable(curl) || !Usable(one)) continue;
    const Measurement& md5 = found->second;
    std::printf("  context, %d MiB: curl then md5sum of its file take %.3f s and %.3f CPU s; one stream %.3f s and %.3f CPU s\n",
                s.package->mebibytes, curl.bestWall + md5.wallSeconds, curl.minCpu + md5.cpuSeconds, one.bestWall,
                one.minCpu);
  }
  if (broken) std::printf("\nsome downloads failed or delivered wrong bytes: see FAILED above\n");
  return broken ? 1 : 0;
}
