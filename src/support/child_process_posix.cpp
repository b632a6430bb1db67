// POSIX side of the child-process launcher: pipes from pipe2, the child from
// posix_spawn. There is no window to hide; the child simply gets the three
// pipe ends as descriptors 0, 1 and 2 and nothing else of ours.
#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "support/command_line_split.h"
#include "support/debug_log.h"
#include "support/text.h"

extern char** environ;

namespace Utils {

namespace {

void CloseDescriptor(int& fd) {
  if (fd == kNoOsHandle) return;
  // No retry on EINTR: on Linux the descriptor is released even then, and a
  // second close could hit a descriptor another thread has just opened.
  ::close(fd);
  fd = kNoOsHandle;
}

// Moves a descriptor that landed on 0, 1 or 2 (because this process runs
// with a standard stream closed) above them. Otherwise the child's dup2 of
// one pipe end onto 0..2 could overwrite another end before it was placed.
bool KeepAboveStandardStreams(int& fd) {
  if (fd > STDERR_FILENO) return true;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (moved == -1) return false;
  ::close(fd);
  fd = moved;
  return true;
}

// Exit status as one number: the code itself, or 128 + signal for a child a
// signal ended (the convention of shells), so a crash never reads as 0.
std::uint32_t ExitCodeOf(int status) {
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
  return 255u;
}

// Owns the spawn attribute objects for the duration of one spawn.
class SpawnSetup {
 public:
  SpawnSetup() {
    actionsReady_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    attributesReady_ = ::posix_spawnattr_init(&attributes_) == 0;
  }
  ~SpawnSetup() {
    if (actionsReady_) ::posix_spawn_file_actions_destroy(&actions_);
    if (attributesReady_) ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The three ends become the child's 0, 1 and 2 (dup2 clears close-on-exec
  // on the copy). Every other descriptor is closed in the child: descriptors
  // this process inherited without close-on-exec, or that a library opened
  // that way, are none of the child's business. Signal dispositions and the
  // mask are reset, so a parent that ignores SIGPIPE or blocks signals on its
  // worker thread does not hand that on.
  bool Prepare(int input, int output, int error, bool keepIgnoredSigpipe) {
    if (!actionsReady_ || !attributesReady_) return false;
    if (::posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(&actions_, error, STDERR_FILENO) != 0) {
      return false;
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) != 0) return false;
#endif
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (keepIgnoredSigpipe) sigdelset(&all, SIGPIPE);
    return ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
           ::posix_spawnattr_setsigdefault(&attributes_, &all) == 0 &&
           ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attributes_{};
  bool actionsReady_ = false;
  bool attributesReady_ = false;
};

}  // namespace

PipePair::PipePair() {
  int ends[2] = {kNoOsHandle, kNoOsHandle};
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    DEBUG_LOG(L"pipe2 failed, errno=%d", errno);
    throw Exception();
  }
  readEnd = ends[0];
  writeEnd = ends[1];
  if (!KeepAboveStandardStreams(readEnd) || !KeepAboveStandardStreams(writeEnd)) {
    DEBUG_LOG(L"moving a pipe end failed, errno=%d", errno);
    Close();
    throw Exception();
  }
}

PipePair::~PipePair() { Close(); }

void PipePair::CloseWrite() { CloseDescriptor(writeEnd); }

void PipePair::CloseRead() { CloseDescriptor(readEnd); }

void ChildProcess::Start(const std::wstring& commandLine) {
  AcceptCommandLine(commandLine);

  const std::vector<std::wstring> arguments = SplitWindowsCommandLine(commandLine);
  if (arguments.empty() || arguments[0].empty()) {
    DEBUG_LOG(L"no program in the command line: %s", commandLine.c_str());
    throw Exception();
  }
  std::vector<std::string> narrow;
  narrow.reserve(arguments.size());
  for (const std::wstring& argument : arguments) {
    narrow.push_back(ToNarrow(argument, kCodePageAnsi));
    if (narrow.back().empty() && !argument.empty()) {
      DEBUG_LOG(L"argument cannot be converted: %s", argument.c_str());
      throw Exception();
    }
  }
  std::vector<char*> argv;
  argv.reserve(narrow.size() + 1);
  for (std::string& argument : narrow) argv.push_back(argument.data());
  argv.push_back(nullptr);

  errorSink_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (errorSink_ == kNoOsHandle || !KeepAboveStandardStreams(errorSink_)) {
    DEBUG_LOG(L"the null device cannot be opened, errno=%d", errno);
    CloseDescriptor(errorSink_);
    throw Exception();
  }
  SpawnSetup setup;
  if (!setup.Prepare(inputPipe_.readEnd, outputPipe_.writeEnd, errorSink_, outliveReader_)) {
    DEBUG_LOG(L"spawn attributes could not be prepared");
    throw Exception();
  }
  // Like CreateProcess, a bare name is looked up on the search path and a
  // name with a folder in it is taken as it stands.
  const bool searchPath = narrow[0].find('/') == std::string::npos;
  pid_t pid = 0;
  const int error = searchPath
                        ? ::posix_spawnp(&pid, argv[0], setup.actions(), setup.attributes(), argv.data(), environ)
                        : ::posix_spawn(&pid, argv[0], setup.actions(), setup.attributes(), argv.data(), environ);
  if (error != 0) {
    DEBUG_LOG(L"spawn failed, errno=%d: %s", error, commandLine.c_str());
    throw Exception();
  }
  processHandle_ = pid;
  processId_ = static_cast<std::uint32_t>(pid);
  DEBUG_LOG(L"started pid=%d: %s", static_cast<int>(pid), commandLine.c_str());

  // The child holds its own copies now. Without ours the output pipe reports
  // its end once the child is gone, and the input pipe is at its end at once.
  outputPipe_.CloseWrite();
  CloseDescriptor(errorSink_);
  inputPipe_.CloseRead();
  inputPipe_.CloseWrite();
}

std::size_t ChildProcess::ReadOutput(char* buffer, std::size_t size) {
  if (outputPipe_.readEnd == kNoOsHandle || size == 0) return 0;
  if (size > SSIZE_MAX) size = SSIZE_MAX;
  while (true) {
    const ssize_t got = ::read(outputPipe_.readEnd, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

ChildProcess::TimedRead ChildProcess::ReadOutputWithin(char* buffer, std::size_t size,
                                                       std::uint32_t milliseconds) {
  TimedRead result;
  if (outputPipe_.readEnd == kNoOsHandle || size == 0) return result;
  pollfd watched{outputPipe_.readEnd, POLLIN, 0};
  const int timeout = milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
  int ready = 0;
  do {
    ready = ::poll(&watched, 1, timeout);
  } while (ready == -1 && errno == EINTR);
  if (ready == 0) {
    result.timedOut = true;
    return result;
  }
  if (ready < 0) return result;
  // Readable, or closed (POLLHUP): the read answers which, without blocking.
  result.bytes = ReadOutput(buffer, size);
  return result;
}

bool ChildProcess::IsRunning(std::uint32_t* exitCode) {
  if (processHandle_ != kNoOsHandle) {
    int status = 0;
    pid_t reaped = 0;
    do {
      reaped = ::waitpid(processHandle_, &status, WNOHANG);
    } while (reaped == -1 && errno == EINTR);
    if (reaped == 0) return true;
    exited_ = true;
    // ECHILD: someone else collected the status (SIGCHLD ignored, say). The
    // child is gone but its code is unknown; 255 is not a success.
    exitCode_ = reaped == -1 ? 255u : ExitCodeOf(status);
    processHandle_ = kNoOsHandle;
  }
  if (exited_ && exitCode != nullptr) *exitCode = exitCode_;
  return false;
}

std::uint32_t ChildProcess::WaitForExit() {
  if (processHandle_ != kNoOsHandle) {
    int status = 0;
    pid_t reaped = 0;
    do {
      reaped = ::waitpid(processHandle_, &status, 0);
    } while (reaped == -1 && errno == EINTR);
    exited_ = true;
    exitCode_ = reaped == -1 ? 255u : ExitCodeOf(status);
    processHandle_ = kNoOsHandle;
  }
  if (!exited_) {
    DEBUG_LOG(L"no child to wait for");
    throw Exception();
  }
  return exitCode_;
}

void ChildProcess::Close() {
  // A child that has ended is reaped now; one still running is left alone
  // (Close never stops or waits for it).
  if (processHandle_ != kNoOsHandle) IsRunning();
  processHandle_ = kNoOsHandle;
  threadHandle_ = kNoOsHandle;
  inputPipe_.Close();
  outputPipe_.Close();
  CloseDescriptor(errorSink_);
}

}  // namespace Utils
