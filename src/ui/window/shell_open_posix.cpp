#include "ui/window/shell_open.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "support/debug_log.h"
#include "support/text.h"

extern char** environ;

namespace Installer {
namespace {

bool IsProgramFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool ShellOpen(const std::wstring& target, const std::wstring& workingFolder, ShowStyle) {
  const std::string narrow = Utils::ToNarrow(target, Utils::kCodePageUtf8);
  if (narrow.empty()) return false;
  std::vector<std::string> args;
  if (IsProgramFile(narrow)) {
    args = {narrow};
  } else {
    args = {"xdg-open", narrow};
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string folder = Utils::ToNarrow(workingFolder, Utils::kCodePageUtf8);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
#endif
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    DEBUG_LOG(L"could not open %s (error %d)", target.c_str(), error);
    return false;
  }
  DEBUG_LOG(L"opened %s (process %d)", target.c_str(), static_cast<int>(pid));
  // Reaped when it ends, so that no finished child lingers as a zombie.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

}  // namespace Installer
