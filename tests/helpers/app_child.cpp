// A small real program for the tests of the process-wide guards: it takes the
// single-instance lock or installs the crash reporter the way the installer
// does, in a process of its own.
//
//   hold-lock <name> <stop-file>  takes the lock ("held" or "refused" on
//                                 standard output), then waits up to 60 s for
//                                 <stop-file> to appear
//   crash <marker-file> <kind>    installs the crash reporter, whose report
//                                 writes <marker-file>, then crashes: kind
//                                 "segv" (a bad write) or "abort"
//   crash-holding <name> <marker-file>  takes the lock, then crashes like
//                                 "crash ... segv"
//   analytics-crash <collector-url> <state-ini> <kind>  starts analytics as
//                                 the installer does (its state and journal
//                                 beside <state-ini>), reports one task, then
//                                 crashes under the installer's crash report
//                                 like "crash": kind "segv" or "abort"
//   crash-logged <log-file> <marker-file> <kind>  opens <log-file> as the run
//                                 log and installs the reporter with it, then
//                                 crashes: "segv" on the main thread, or
//                                 "overflow-thread" (a stack overflow on a
//                                 worker thread)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "analytics/analytics_init.h"
#include "analytics/crash_record.h"
#include "analytics/funnel_events.h"
#include "app/crash_reporter.h"
#include "app/single_instance.h"
#include "support/run_log.h"
#include "support/text.h"
#include "support/thread.h"

namespace {

std::string markerPath;
#ifndef _WIN32
int markerFd = -1;
#endif

// The report runs inside a signal handler on Linux: the marker is opened in
// advance and only written there.
void OpenMarker() {
#ifndef _WIN32
  markerFd = ::open(markerPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
#endif
}

void WriteMarker() {
#ifdef _WIN32
  if (std::FILE* file = std::fopen(markerPath.c_str(), "wb")) {
    std::fputs("reported", file);
    std::fclose(file);
  }
#else
  (void)!::write(markerFd, "reported", 8);
#endif
#ifdef _WIN32
  // Wine answers an unhandled crash by starting its debugger, which never
  // ends without a console; the report has run, so end as the crash would.
  TerminateProcess(GetCurrentProcess(), 0xC0000005u);
#endif
}

void AppendCrashRecordAndEnd() {
  zorvan::analytics::AppendCrashRecord();
#ifdef _WIN32
  TerminateProcess(GetCurrentProcess(), 0xC0000005u);  // as WriteMarker does
#endif
}

[[noreturn]] void Crash(const std::string& kind) {
#ifdef _WIN32
  // No error dialog or debugger may hold the test up.
  SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
#endif
  if (kind == "segv") {
    // A page nobody may touch: a real access violation, which a write
    // through a null pointer would not be under the sanitizers.
#ifdef _WIN32
    void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
#else
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
#endif
    *static_cast<volatile int*>(page) = 1;
  }
  std::abort();
}

// Deep enough to overflow any thread's stack; the frames cannot be folded.
int Recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (depth < 0) return 0;  // never: the recursion ends only in the overflow
  return Recurse(depth + 1) + frame[0];
}

bool FileExists(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file) std::fclose(file);
  return file != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "hold-lock" && argc == 4) {
    auto lock = Installer::SingleInstanceLock::Acquire(Utils::ToWide(argv[2], Utils::kCodePageUtf8));
    std::puts(lock ? "held" : "refused");
    std::fflush(stdout);
    for (int i = 0; i < 3000 && !FileExists(argv[3]); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
  }
  if (mode == "crash" && argc == 4) {
    markerPath = argv[2];
    OpenMarker();
    Installer::InstallCrashReporter(&WriteMarker);
    Crash(argv[3]);
  }
  if (mode == "crash-logged" && argc == 5) {
    const std::wstring log = Utils::StartRunLog(Utils::ToWide(argv[2], Utils::kCodePageAnsi));
    if (log.empty()) return 4;
    markerPath = argv[3];
    OpenMarker();
    Installer::InstallCrashReporter(&WriteMarker, Utils::RunLogDescriptor(), log);
    const std::string kind = argv[4];
    if (kind == "overflow-thread") {
      Utils::Thread worker(nullptr, L"Overflow", [](void*) { std::printf("%d", Recurse(0)); });
      worker.Resume();
      worker.Join();
      return 5;
    }
    Crash(kind);
  }
  if (mode == "crash-holding" && argc == 4) {
    auto lock = Installer::SingleInstanceLock::Acquire(Utils::ToWide(argv[2], Utils::kCodePageUtf8));
    if (!lock) return 3;
    markerPath = argv[3];
    OpenMarker();
    Installer::InstallCrashReporter(&WriteMarker);
    Crash("segv");
  }
  if (mode == "analytics-crash" && argc == 5) {
    Installer::InstallCrashReporter(&AppendCrashRecordAndEnd);
    zorvan::analytics::TrackerInitParams params;
    params.appName = "Talvorin.downloader";
    params.appVersion = "1.7.9";
    params.appStore = "talvorin-app-child";
    params.serverUrl = argv[2];
    params.configFileOverride = argv[3];
    zorvan::analytics::InitAnalyticsWith(params);
    zorvan::analytics::ReportTask(L"开始下载大包", 0.0f, L"", {{L"AB", L"IN"}});
    Crash(argv[4]);
  }
  return 64;
}
