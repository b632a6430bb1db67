#include <pthread.h>
#include <signal.h>

#include <cstdlib>

#include <condition_variable>
#include <mutex>

#include "support/process_info.h"
#include "support/thread.h"

namespace Utils {
namespace {

// POSIX threads cannot start suspended; the new thread waits at this gate
// until Resume opens it.
struct PosixThread {
  pthread_t thread{};
  std::mutex mutex;
  std::condition_variable changed;
  bool idKnown = false;
  bool open = false;
  std::uint32_t id = 0;
  Thread* owner = nullptr;
};

void* Trampoline(void* parameter) {
  auto* state = static_cast<PosixThread*>(parameter);
  {
    std::unique_lock<std::mutex> lock(state->mutex);
    state->id = CurrentThreadId();
    state->idKnown = true;
    state->changed.notify_all();
    state->changed.wait(lock, [state] { return state->open; });
  }
  AlternateSignalStack signalStack;
  Thread::CallBack(state->owner);
  return nullptr;
}

}  // namespace

AlternateSignalStack::AlternateSignalStack() {
  const std::size_t size = SIGSTKSZ > 65536 ? SIGSTKSZ : 65536;
  stack_t stack{};
  stack.ss_sp = std::malloc(size);
  if (stack.ss_sp == nullptr) return;
  stack.ss_size = size;
  if (sigaltstack(&stack, nullptr) == 0) {
    memory_ = stack.ss_sp;
  } else {
    std::free(stack.ss_sp);
  }
}

AlternateSignalStack::~AlternateSignalStack() {
  if (memory_ == nullptr) return;
  stack_t off{};
  off.ss_flags = SS_DISABLE;
  sigaltstack(&off, nullptr);
  std::free(memory_);
}

void Thread::Create() {
  auto* state = new PosixThread;
  state->owner = this;
  if (pthread_create(&state->thread, nullptr, &Trampoline, state) != 0) {
    delete state;
    return;
  }
  std::unique_lock<std::mutex> lock(state->mutex);
  state->changed.wait(lock, [state] { return state->idKnown; });
  threadId_ = state->id;
  threadHandle_ = state;
}

bool Thread::ResumeNative() {
  auto* state = static_cast<PosixThread*>(threadHandle_);
  std::lock_guard<std::mutex> lock(state->mutex);
  if (state->open) return false;
  state->open = true;
  state->changed.notify_all();
  return true;
}

void Thread::JoinNative() {
  auto* state = static_cast<PosixThread*>(threadHandle_);
  pthread_join(state->thread, nullptr);
  delete state;
}

// The kernel keeps 15 bytes of a thread name; cut at a character boundary.
void Thread::AnnounceName() {
  std::string name = DebuggerThreadName(name_, threadId_);
  if (name.size() > 15) {
    std::size_t cut = 15;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  pthread_setname_np(static_cast<PosixThread*>(threadHandle_)->thread, name.c_str());
}

std::string CurrentThreadDebugName() {
  char name[64] = {};
  if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) return {};
  return name;
}

}  // namespace Utils
