// The few places where the two systems differ for the demo program.
#include "demo.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <unistd.h>
extern char** environ;
#endif

namespace Demo {

#ifdef _WIN32

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

}  // namespace

Arguments ProcessArguments(int argc, void* argv) {
  // Lines must reach the reader as written: no "\r" before each "\n".
  _setmode(_fileno(stdout), _O_BINARY);
  Arguments arguments;
  auto** wide = static_cast<wchar_t**>(argv);
  for (int i = 0; i < argc; ++i) arguments.push_back(Utf8(wide[i]));
  return arguments;
}

std::filesystem::path PathFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string Utf8FromPath(const std::filesystem::path& path) { return Utf8(path.native()); }

std::filesystem::path OwnExecutable() {
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  return std::wstring(buffer, length);
}

std::string UninstallFolderArgument(const Arguments&) {
  const std::wstring line = GetCommandLineW();
  const std::size_t at = line.find(L" _?=");
  return at == std::wstring::npos ? std::string() : Utf8(line.substr(at + 4));
}

[[noreturn]] void Crash() {
  std::fflush(stdout);
  // The exit status of an access violation, without the system's crash
  // reporting (which would wait for someone to look).
  TerminateProcess(GetCurrentProcess(), 0xC0000005u);
  ExitProcess(0xC0000005u);
}

bool StartLingeringCopy(int milliseconds, const std::filesystem::path& marker) {
  std::fflush(stdout);
  const std::wstring program = OwnExecutable().native();
  std::wstring line = L"\"" + program + L"\" -linger=" + std::to_wstring(milliseconds) + L" \"-linger-mark=" +
                      marker.native() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  // The standard output is the installer's pipe; the copy inherits it.
  SetHandleInformation(startup.hStdOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

#else

Arguments ProcessArguments(int argc, void* argv) {
  Arguments arguments;
  auto** narrow = static_cast<char**>(argv);
  for (int i = 0; i < argc; ++i) arguments.push_back(narrow[i]);
  return arguments;
}

std::filesystem::path PathFromUtf8(const std::string& text) { return std::filesystem::path(text); }

std::string Utf8FromPath(const std::filesystem::path& path) { return path.native(); }

std::filesystem::path OwnExecutable() { return std::filesystem::read_symlink("/proc/self/exe"); }

std::string UninstallFolderArgument(const Arguments& arguments) {
  std::string folder;
  bool found = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (!found && arguments[i].rfind("_?=", 0) == 0) {
      found = true;
      folder = arguments[i].substr(3);
    } else if (found) {
      folder += " " + arguments[i];
    }
  }
  return folder;
}

[[noreturn]] void Crash() {
  std::fflush(stdout);
  // A signal nobody can catch: the program ends as a crash ends it.
  ::kill(::getpid(), SIGKILL);
  _exit(137);
}

bool StartLingeringCopy(int milliseconds, const std::filesystem::path& marker) {
  std::fflush(stdout);
  const std::string program = OwnExecutable().native();
  std::string linger = "-linger=" + std::to_string(milliseconds);
  std::string mark = "-linger-mark=" + marker.native();
  char* argv[] = {const_cast<char*>(program.c_str()), linger.data(), mark.data(), nullptr};
  pid_t pid = 0;
  // The standard output (the installer's pipe) is inherited as it stands.
  return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0;
}

#endif

}  // namespace Demo
