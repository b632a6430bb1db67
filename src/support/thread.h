// Named worker threads. A thread is created suspended and runs its work only
// once its owner calls Resume; destroying the object waits for the thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Utils {

class Thread {
 public:
  using Function = std::function<void(void*)>;
  static constexpr std::uint32_t kJoinedId = 0xFFFFFFFFu;

  // Creates the system thread suspended and names it for debuggers: the name
  // in the ANSI code page, or "t" and the thread id when `name` is empty.
  Thread(void* argument, std::wstring name, Function function);
  // Joins. A thread that was never resumed is released without running its work.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Lets the suspended thread run. False when the thread was never created
  // (the work then never runs) or was already resumed.
  bool Resume();

  // Waits for the thread without time limit, then forgets it: IsCreated turns
  // false and ThreadId becomes kJoinedId. A second Join does nothing.
  void Join();

  bool IsCreated() const { return threadHandle_ != nullptr; }
  std::uint32_t ThreadId() const { return threadId_; }
  const std::wstring& Name() const { return name_; }

  // The system thread's entry: logs "THREAD BEGIN", runs the work, logs "THREAD END".
  static void CallBack(Thread* self);

 private:
  void Create();          // per OS
  bool ResumeNative();    // per OS
  void JoinNative();      // per OS
  void AnnounceName();    // per OS

  std::uint32_t threadId_ = 0;
  void* threadHandle_ = nullptr;
  Function function_;
  void* argument_ = nullptr;
  std::wstring name_;
  bool resumed_ = false;
  bool cancelled_ = false;
};

// While alive, the calling thread has a stack of its own for signal handlers,
// so that a crash by stack overflow can still be reported (Linux; Windows
// needs none). Every thread the installer starts holds one.
class AlternateSignalStack {
 public:
  AlternateSignalStack();
  ~AlternateSignalStack();
  AlternateSignalStack(const AlternateSignalStack&) = delete;
  AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

 private:
  void* memory_ = nullptr;
};

// The debugger name of the calling thread as the system reports it (for
// checking what Thread announced); empty when the system keeps none.
std::string CurrentThreadDebugName();

// The name Thread announces for a given name and thread id.
std::string DebuggerThreadName(const std::wstring& name, std::uint32_t threadId);

}  // namespace Utils
