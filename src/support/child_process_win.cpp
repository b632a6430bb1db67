// Windows side of the child-process launcher: anonymous pipes and a hidden
// CreateProcessW whose standard handles are the pipes' child ends.
#include "support/child_process.h"

#include <windows.h>

#include <vector>

#include "support/debug_log.h"

namespace Utils {

namespace {

void CloseOsHandle(OsHandle& handle) {
  if (handle == kNoOsHandle) return;
  ::CloseHandle(handle);
  handle = kNoOsHandle;
}

// Limits what the child inherits to exactly its three standard handles. With
// plain inheritance it would also receive every inheritable handle of this
// process, among them the pipes of another child started at the same moment
// on another thread, which would then never see its end of file.
class InheritList {
 public:
  InheritList(HANDLE input, HANDLE output, HANDLE error) : handles_{input, output, error} {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    if (size == 0) return;
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    initialised_ = true;
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_,
                                     sizeof handles_, nullptr, nullptr)) {
      return;
    }
    list_ = list;
  }
  ~InheritList() {
    if (initialised_) {
      ::DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data()));
    }
  }
  InheritList(const InheritList&) = delete;
  InheritList& operator=(const InheritList&) = delete;

  // Null when the list could not be set up; the start then falls back to
  // plain inheritance.
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  HANDLE handles_[3];
  std::vector<unsigned char> storage_;
  bool initialised_ = false;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

PipePair::PipePair() {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.bInheritHandle = TRUE;
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &attributes, 0)) {
    DEBUG_LOG(L"CreatePipe failed, error=%d", static_cast<int>(::GetLastError()));
    throw Exception();
  }
  readEnd = read;
  writeEnd = write;
}

PipePair::~PipePair() { Close(); }

void PipePair::CloseWrite() { CloseOsHandle(writeEnd); }

void PipePair::CloseRead() { CloseOsHandle(readEnd); }

void ChildProcess::Start(const std::wstring& commandLine) {
  AcceptCommandLine(commandLine);

  // The parent's ends must not reach the child: a child holding the write
  // end of its own output pipe would keep the parent's read from ever ending.
  if (!::SetHandleInformation(outputPipe_.readEnd, HANDLE_FLAG_INHERIT, 0) ||
      !::SetHandleInformation(inputPipe_.writeEnd, HANDLE_FLAG_INHERIT, 0)) {
    DEBUG_LOG(L"SetHandleInformation failed, error=%d", static_cast<int>(::GetLastError()));
    throw Exception();
  }

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  errorSink_ = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inheritable, OPEN_EXISTING, 0, nullptr);
  if (errorSink_ == INVALID_HANDLE_VALUE) {
    errorSink_ = kNoOsHandle;
    DEBUG_LOG(L"the null device cannot be opened, error=%d", static_cast<int>(::GetLastError()));
    throw Exception();
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = inputPipe_.readEnd;
  startup.StartupInfo.hStdOutput = outputPipe_.writeEnd;
  startup.StartupInfo.hStdError = errorSink_;

  InheritList inheritList(inputPipe_.readEnd, outputPipe_.writeEnd, errorSink_);
  DWORD flags = CREATE_NO_WINDOW;
  if (inheritList.get() != nullptr) {
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = inheritList.get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  } else {
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    DEBUG_LOG(L"no handle list, plain inheritance");
  }

  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLineBuffer_, nullptr, nullptr, TRUE, flags, nullptr,
                        nullptr, &startup.StartupInfo, &process)) {
    DEBUG_LOG(L"CreateProcessW failed, error=%d: %s", static_cast<int>(::GetLastError()),
              commandLine.c_str());
    throw Exception();
  }
  processHandle_ = process.hProcess;
  threadHandle_ = process.hThread;
  processId_ = process.dwProcessId;
  DEBUG_LOG(L"started pid=%d: %s", static_cast<int>(process.dwProcessId), commandLine.c_str());

  // The child holds its own copies now. Without ours the output pipe reports
  // its end once the child is gone, and the input pipe is at its end at once.
  outputPipe_.CloseWrite();
  CloseOsHandle(errorSink_);
  inputPipe_.CloseRead();
  inputPipe_.CloseWrite();
}

std::size_t ChildProcess::ReadOutput(char* buffer, std::size_t size) {
  if (outputPipe_.readEnd == kNoOsHandle || size == 0) return 0;
  const DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
  DWORD got = 0;
  // A closed write end shows as ERROR_BROKEN_PIPE: the plain end of output.
  if (!::ReadFile(outputPipe_.readEnd, buffer, wanted, &got, nullptr)) return 0;
  return got;
}

ChildProcess::TimedRead ChildProcess::ReadOutputWithin(char* buffer, std::size_t size,
                                                       std::uint32_t milliseconds) {
  TimedRead result;
  if (outputPipe_.readEnd == kNoOsHandle || size == 0) return result;
  // Anonymous pipes know no overlapped reads: look into the pipe until
  // something is there, the writers are gone, or the time is up.
  const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  while (true) {
    DWORD available = 0;
    if (!::PeekNamedPipe(outputPipe_.readEnd, nullptr, 0, nullptr, &available, nullptr)) {
      return result;  // ERROR_BROKEN_PIPE: the end of output
    }
    if (available > 0) {
      result.bytes = ReadOutput(buffer, size < available ? size : available);
      return result;
    }
    if (::GetTickCount64() >= deadline) {
      result.timedOut = true;
      return result;
    }
    ::Sleep(10);
  }
}

bool ChildProcess::IsRunning(std::uint32_t* exitCode) {
  if (processHandle_ != kNoOsHandle && !exited_) {
    // Asking the handle rather than comparing the code with STILL_ACTIVE: a
    // child may well end with 259.
    if (::WaitForSingleObject(processHandle_, 0) != WAIT_OBJECT_0) return true;
    DWORD code = 0;
    exitCode_ = ::GetExitCodeProcess(processHandle_, &code) ? code : 0xFFFFFFFFu;
    exited_ = true;
  }
  if (exited_ && exitCode != nullptr) *exitCode = exitCode_;
  return false;
}

std::uint32_t ChildProcess::WaitForExit() {
  if (processHandle_ != kNoOsHandle && !exited_) {
    if (::WaitForSingleObject(processHandle_, INFINITE) != WAIT_OBJECT_0) {
      DEBUG_LOG(L"waiting for the child failed, error=%d", static_cast<int>(::GetLastError()));
      throw Exception();
    }
    DWORD code = 0;
    exitCode_ = ::GetExitCodeProcess(processHandle_, &code) ? code : 0xFFFFFFFFu;
    exited_ = true;
  }
  if (!exited_) {
    DEBUG_LOG(L"no child to wait for");
    throw Exception();
  }
  return exitCode_;
}

void ChildProcess::Close() {
  CloseOsHandle(threadHandle_);
  CloseOsHandle(processHandle_);
  inputPipe_.Close();
  outputPipe_.Close();
  CloseOsHandle(errorSink_);
}

}  // namespace Utils
