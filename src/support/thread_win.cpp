#include <windows.h>

#include "support/text.h"
#include "support/thread.h"

namespace Utils {
namespace {

DWORD WINAPI Trampoline(LPVOID parameter) {
  Thread::CallBack(static_cast<Thread*>(parameter));
  return 0;
}

constexpr DWORD kSetThreadNameException = 0x406D1388;

#pragma pack(push, 8)
struct ThreadNameInfo {
  DWORD type;      // 0x1000
  LPCSTR name;
  DWORD threadId;
  DWORD flags;
};
#pragma pack(pop)

// The naming exception is meant for an attached debugger; this handler
// swallows it so that it never reaches the program's own handlers.
LONG CALLBACK SwallowNamingException(EXCEPTION_POINTERS* info) {
  return info->ExceptionRecord->ExceptionCode == kSetThreadNameException
             ? EXCEPTION_CONTINUE_EXECUTION
             : EXCEPTION_CONTINUE_SEARCH;
}

using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);

template <typename Fn>
Fn Kernel32Function(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel == nullptr ? nullptr : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

}  // namespace

void Thread::Create() {
  DWORD id = 0;
  HANDLE handle = CreateThread(nullptr, 0, &Trampoline, this, CREATE_SUSPENDED, &id);
  if (handle == nullptr) return;
  threadId_ = id;
  threadHandle_ = handle;
}

bool Thread::ResumeNative() { return ResumeThread(static_cast<HANDLE>(threadHandle_)) != static_cast<DWORD>(-1); }

void Thread::JoinNative() {
  WaitForSingleObject(static_cast<HANDLE>(threadHandle_), INFINITE);
  CloseHandle(static_cast<HANDLE>(threadHandle_));
}

// Newer systems and tools read the thread description; debuggers of any age
// listen for the naming exception.
void Thread::AnnounceName() {
  const std::string name = DebuggerThreadName(name_, threadId_);
  if (auto setDescription = Kernel32Function<SetThreadDescriptionFn>("SetThreadDescription"))
    setDescription(static_cast<HANDLE>(threadHandle_), ToWide(name, kCodePageAnsi).c_str());
  if (!IsDebuggerPresent()) return;
  ThreadNameInfo info{0x1000, name.c_str(), threadId_, 0};
  PVOID handler = AddVectoredExceptionHandler(1, &SwallowNamingException);
  RaiseException(kSetThreadNameException, 0, sizeof info / sizeof(ULONG_PTR),
                 reinterpret_cast<const ULONG_PTR*>(&info));
  if (handler != nullptr) RemoveVectoredExceptionHandler(handler);
}

std::string CurrentThreadDebugName() {
  auto getDescription = Kernel32Function<GetThreadDescriptionFn>("GetThreadDescription");
  if (getDescription == nullptr) return {};
  PWSTR description = nullptr;
  if (FAILED(getDescription(GetCurrentThread(), &description)) || description == nullptr) return {};
  std::string name = ToNarrow(description, kCodePageAnsi);
  LocalFree(description);
  return name;
}

// Windows reports a stack overflow to the exception filter on a guard page
// of its own: nothing to set up.
AlternateSignalStack::AlternateSignalStack() = default;
AlternateSignalStack::~AlternateSignalStack() = default;

}  // namespace Utils
