#include "support/child_process.h"

#include "support/debug_log.h"

namespace Utils {

ChildProcess::ChildProcess() = default;

ChildProcess::~ChildProcess() { Close(); }

void ChildProcess::AcceptCommandLine(const std::wstring& commandLine) {
  if (processId_ != 0) {
    DEBUG_LOG(L"a child was already started");
    throw Exception();
  }
  if (inputPipe_.readEnd == kNoOsHandle || inputPipe_.writeEnd == kNoOsHandle ||
      outputPipe_.readEnd == kNoOsHandle || outputPipe_.writeEnd == kNoOsHandle) {
    DEBUG_LOG(L"the pipes are closed");
    throw Exception();
  }
  // Cutting the line short would start the program with other arguments than
  // asked, and a zero would cut it short further on; refuse both instead.
  if (commandLine.size() >= kCommandLineCapacity ||
      commandLine.find(L'\0') != std::wstring::npos) {
    DEBUG_LOG(L"command line refused, %d characters", static_cast<int>(commandLine.size()));
    throw Exception();
  }
  commandLine.copy(commandLineBuffer_, commandLine.size());
  commandLineBuffer_[commandLine.size()] = L'\0';
}

std::uint32_t ChildProcess::ProcessId() const { return processId_; }

}  // namespace Utils
