// The few places where the two systems differ for the demo program.
#include "demo.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
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

#endif

}  // namespace Demo
