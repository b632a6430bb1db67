// The package runner: runs the downloaded package hidden and turns the lines
// of its console protocol into notifications.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "install/install_codes.h"
#include "support/child_process.h"
#include "support/notify_callback.h"
#include "support/thread.h"

// The failure text of a package that cannot run because the installation
// folder's file system forbids running programs (Linux: mounted noexec).
inline constexpr wchar_t kNoProgramsInFolderText[] =
    L"安装文件夹所在的磁盘不允许运行程序（noexec），请选择其他文件夹";

// The process id of the package a runner runs at this moment, 0 when none
// runs: whoever ends the program early says that it goes on by itself.
std::uint32_t RunningPackageProcessId();

class CInstaller {
 public:
  CInstaller(NotifyCallback callback, std::wstring quotedPackagePath, std::wstring installDir,
             bool desktopShortcut, bool quickStartShortcut, bool adminAct);
  // Waits for the worker, which ends only when the package has ended.
  ~CInstaller();
  CInstaller(const CInstaller&) = delete;
  CInstaller& operator=(const CInstaller&) = delete;

  // The user's choices, refreshed by the orchestrator before every start.
  void Configure(const std::wstring& installDir, bool desktopShortcut, bool quickStartShortcut,
                 bool adminAct, bool authorizationAct, const std::wstring& languageTag);

  // Starts (or starts again) the package on a worker thread named "ABDEF"
  // and returns at once; a previous worker is waited for first. Must not be
  // called from the runner's own notifications.
  void Run();

  std::wstring BuildCommandLine() const;

  // Handles the protocol lines of one decoded piece of output: 0 nothing
  // final, 1 a success, 1000 a failure. The first final line of a run is its
  // outcome; later ones are logged and ignored.
  int Parse(const std::wstring& text);
  // Decodes one whole line of output bytes with the code page in force and
  // parses it; the protocol reader hands each line here.
  int ParseLine(const std::string& line);

  std::int32_t CodePage() const { return codePage; }
  const std::int32_t* InstalledVersion() const { return installedVersion; }

 private:
  void Work();
  void Notify(std::int32_t code, double value, const std::wstring& text);

  NotifyCallback callback;
  std::wstring packagePath;  // quoted
  std::wstring installDir;
  std::wstring commandLine;
  bool createQuickStartShortcut;
  bool createDesktopShortcut;
  std::int32_t codePage = 0;
  std::unique_ptr<Utils::Thread> worker;
  std::unique_ptr<Utils::ChildProcess> child;
  std::int32_t installedVersion[3] = {0, 0, 0};
  bool adminAct;
  bool authorizationAct = true;
  std::wstring languageTag;
  int outcome_ = 0;  // the run's first final result, 0 before it
};
