// The remover: runs the earlier installation's uninstaller hidden and reports
// what it says in the removal subset of the console protocol.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "install/install_codes.h"
#include "support/child_process.h"
#include "support/notify_callback.h"
#include "support/thread.h"

class UnInstaller {
 public:
  UnInstaller(NotifyCallback callback, std::wstring uninstallerPath, std::wstring targetFolder);
  // Waits for the worker, which ends only when the uninstaller has ended.
  ~UnInstaller();
  UnInstaller(const UnInstaller&) = delete;
  UnInstaller& operator=(const UnInstaller&) = delete;

  // Builds the command line and starts the worker thread "UnInstaller";
  // returns at once.
  void Run();

  std::wstring BuildCommandLine() const;

  // Handles the protocol lines of one decoded piece of output: 0, 1 (success
  // seen) or 1000 (failure seen).
  int Parse(const std::wstring& text);
  // Decodes one whole line of output bytes with the code page in force and
  // parses it; the protocol reader hands each line here.
  int ParseBytes(const std::string& line);

  std::int32_t CodePage() const { return codePage; }

 private:
  void Work();
  void Notify(std::int32_t code, double value, const std::wstring& text);

  NotifyCallback callback;
  std::wstring commandLine;
  std::wstring uninstallerPath;
  std::wstring targetFolder;
  std::int32_t codePage = 0;
  std::unique_ptr<Utils::Thread> worker;
  std::unique_ptr<Utils::ChildProcess> child;
  int outcome_ = 0;  // the first final result, 0 before it
};
