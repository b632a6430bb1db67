// Starts another program hidden, with its standard input and output
// redirected to anonymous pipes and its standard error to the null device.
// Reading the output and deciding when the child has ended belong to the
// callers.
//
// Standard error is never read. Were it a pipe, a child writing more than the
// pipe's buffer (4 KiB under Wine) to it would block for ever, and the
// caller's read of the output with it: the installation would hang.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/exception.h"

namespace Utils {

#ifdef _WIN32
using OsHandle = void*;   // HANDLE
inline const OsHandle kNoOsHandle = nullptr;
#else
using OsHandle = int;     // file descriptor
inline constexpr OsHandle kNoOsHandle = -1;
#endif

// One anonymous pipe. On Windows both ends are created inheritable and
// ChildProcess::Start takes inheritance away from the parent's ends; on POSIX
// both ends are close-on-exec and the child receives its ends only as its
// descriptors 0, 1 and 2. Closing an end that is already closed does nothing.
class PipePair {
 public:
  // Creates the pipe or throws Exception (closing what it obtained).
  PipePair();
  ~PipePair();
  PipePair(const PipePair&) = delete;
  PipePair& operator=(const PipePair&) = delete;

  void CloseWrite();
  void CloseRead();
  void Close() { CloseWrite(); CloseRead(); }

  OsHandle writeEnd = kNoOsHandle;
  OsHandle readEnd = kNoOsHandle;
};

class ChildProcess {
 public:
  static constexpr std::size_t kCommandLineCapacity = 1024;  // 1023 characters and a zero

  ChildProcess();   // creates the two pipes; throws Exception when one fails
  ~ChildProcess();  // Close()
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program named by the first token of `commandLine` (split by the
  // Windows rules on every OS), hidden, with the pipes as its standard
  // handles and no other handle of ours. Throws Exception when it cannot
  // start, and also, before anything is started, when the command line has
  // more than 1023 characters (it is never cut short), holds a zero character,
  // names no program, or when Start was already called or the pipes closed.
  // After a start the parent keeps only the read end of the output pipe: the
  // child's standard input is at its end at once, since nobody writes to it.
  void Start(const std::wstring& commandLine);

  // Before Start: the child is another program that must go on when this
  // process ends while it still writes to the output pipe. On POSIX it then
  // starts with SIGPIPE ignored when this process ignores it (a write to the
  // orphaned pipe fails instead of killing it); Windows writes only fail.
  void OutliveTheReader() { outliveReader_ = true; }

  // Blocking read of the child's standard output: the number of bytes read,
  // 0 once the child has closed its output (or on error).
  std::size_t ReadOutput(char* buffer, std::size_t size);

  // A read that waits at most `milliseconds` for output: the bytes read, or
  // 0 with `timedOut` when nothing came in time, or 0 without it once the
  // output is closed (or on error).
  struct TimedRead {
    std::size_t bytes = 0;
    bool timedOut = false;
  };
  TimedRead ReadOutputWithin(char* buffer, std::size_t size, std::uint32_t milliseconds);

  // True while the child has not ended. Once it has ended, `exitCode` (when
  // given) receives its exit code. False before Start, and after Close unless
  // the end had been seen before (then the code is still given).
  bool IsRunning(std::uint32_t* exitCode = nullptr);

  // Waits for the child to end and answers its exit code. Throws Exception
  // when there is no child to wait for (before Start, or after Close without
  // the end having been seen).
  //
  // On POSIX a child ended by a signal reports 128 + the signal number, as
  // shells do, so a crash never reads as success.
  std::uint32_t WaitForExit();

  // The system's id of the started child, 0 before Start.
  std::uint32_t ProcessId() const;

  // Closes the process, then every handle still open (input pipe, output
  // pipe, write end before read end, then the null device). The child is not stopped. Safe after a
  // failed Start and safe to call twice.
  //
  // On POSIX the child is reaped here if it has already ended. One still
  // running is not waited for (Close never blocks), so after its end it
  // stays a zombie until this process exits; callers that care wait first.
  void Close();

  PipePair& outputPipe() { return outputPipe_; }

 private:
  // The checks every system's Start makes first; copies the line into the
  // buffer or throws Exception.
  void AcceptCommandLine(const std::wstring& commandLine);

  wchar_t commandLineBuffer_[kCommandLineCapacity] = {};
  OsHandle errorSink_ = kNoOsHandle;  // the null device while a start is under way
  PipePair outputPipe_;
  PipePair inputPipe_;
  // Per-OS process record: process and thread handles on Windows; on POSIX
  // processHandle_ holds the child's pid until it is reaped (threadHandle_ is
  // unused). exited_/exitCode_ keep the end once seen, also past Close.
  OsHandle processHandle_ = kNoOsHandle;
  OsHandle threadHandle_ = kNoOsHandle;
  std::uint32_t processId_ = 0;
  bool exited_ = false;
  std::uint32_t exitCode_ = 0;
  bool outliveReader_ = false;
};

}  // namespace Utils
