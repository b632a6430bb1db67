#include "support/thread.h"

#include "support/debug_log.h"
#include "support/text.h"

namespace Utils {

Thread::Thread(void* argument, std::wstring name, Function function)
    : function_(std::move(function)), argument_(argument), name_(std::move(name)) {
  Create();
  if (IsCreated()) AnnounceName();
}

Thread::~Thread() {
  if (IsCreated() && !resumed_) {
    // Waiting for a thread that never runs would block forever: let it end
    // without doing the work.
    cancelled_ = true;
    resumed_ = ResumeNative();
  }
  Join();
}

bool Thread::Resume() {
  if (!IsCreated() || resumed_) return false;
  resumed_ = ResumeNative();
  return resumed_;
}

void Thread::Join() {
  if (!IsCreated()) return;
  JoinNative();
  threadHandle_ = nullptr;
  threadId_ = kJoinedId;
}

void Thread::CallBack(Thread* self) {
  if (self->cancelled_) return;
  DEBUG_LOG(L"THREAD BEGIN");
  if (self->function_) self->function_(self->argument_);
  DEBUG_LOG(L"THREAD END");
}

std::string DebuggerThreadName(const std::wstring& name, std::uint32_t threadId) {
  if (name.empty()) {
    std::string generated(1, 't');
    generated += std::to_string(threadId);
    return generated;
  }
  return ToNarrow(name, kCodePageAnsi);
}

}  // namespace Utils
