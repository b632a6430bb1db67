// Windows side of the crash reporter:
// - the unhandled-exception filter; it writes "crash: exception 0x<code>"
//   to the run log's handle (opened in advance), calls the report once;
// - a minidump beside the log, written with MiniDumpWriteDump from the
//   system's dbghelp.dll, loaded and looked up at registration, not in the
//   crash; the dump's path is prepared then too.
#include <windows.h>
#include <dbghelp.h>

#include <atomic>
#include <cwchar>

#include "app/crash_reporter.h"

namespace Installer {

namespace {

using MiniDumpWriter = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                     PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

std::atomic<CrashReport> installedReport{nullptr};
std::atomic<bool> reported{false};
std::atomic<HANDLE> logHandle{INVALID_HANDLE_VALUE};
std::atomic<MiniDumpWriter> writeDump{nullptr};
wchar_t dumpPath[MAX_PATH * 2] = {};

void WriteCrashLine(DWORD code) {
  const HANDLE log = logHandle.load();
  if (log == INVALID_HANDLE_VALUE) return;
  char line[64] = "crash: the installer ended by exception 0x";
  std::size_t length = 0;
  while (line[length] != 0) ++length;
  for (int shift = 28; shift >= 0; shift -= 4) line[length++] = "0123456789ABCDEF"[(code >> shift) & 0xF];
  line[length++] = '\r';
  line[length++] = '\n';
  DWORD written = 0;
  ::WriteFile(log, line, static_cast<DWORD>(length), &written, nullptr);
}

void WriteMinidump(EXCEPTION_POINTERS* exception) {
  const MiniDumpWriter writer = writeDump.load();
  if (writer == nullptr || dumpPath[0] == 0) return;
  const HANDLE file = ::CreateFileW(dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  MINIDUMP_EXCEPTION_INFORMATION information{};
  information.ThreadId = ::GetCurrentThreadId();
  information.ExceptionPointers = exception;
  information.ClientPointers = FALSE;
  writer(::GetCurrentProcess(), ::GetCurrentProcessId(), file, MiniDumpNormal,
         exception != nullptr ? &information : nullptr, nullptr, nullptr);
  ::CloseHandle(file);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception) {
  // A second thread crashing while the first reports must not report again.
  if (!reported.exchange(true)) {
    WriteCrashLine(exception != nullptr && exception->ExceptionRecord != nullptr
                       ? exception->ExceptionRecord->ExceptionCode
                       : 0);
    WriteMinidump(exception);
    if (CrashReport report = installedReport.load()) report();
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void InstallCrashReporter(CrashReport report, std::intptr_t logDescriptor, const std::wstring& logPath) {
  installedReport = report;
  logHandle = logDescriptor == -1 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(logDescriptor);
  dumpPath[0] = 0;
  if (!logPath.empty() && logPath.size() + 1 < sizeof dumpPath / sizeof dumpPath[0]) {
    std::wstring path = logPath;
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, L".log") == 0) path.resize(path.size() - 4);
    path += L".dmp";
    if (path.size() + 1 < sizeof dumpPath / sizeof dumpPath[0]) std::wcscpy(dumpPath, path.c_str());
  }
  if (writeDump.load() == nullptr) {
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH - 16) {
      std::wcscat(system, L"\\dbghelp.dll");
      if (HMODULE dbghelp = ::LoadLibraryW(system)) {
        writeDump = reinterpret_cast<MiniDumpWriter>(
            reinterpret_cast<void*>(::GetProcAddress(dbghelp, "MiniDumpWriteDump")));
      }
    }
  }
  SetUnhandledExceptionFilter(&CrashFilter);
}

}  // namespace Installer
