// The install orchestrator: removes an earlier installation when asked,
// downloads the package into the installation folder, runs it and deletes
// it afterwards. Every notification of its workers reaches the window's
// callback unchanged, first, on the worker's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "download/downloader.h"
#include "install/install_codes.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "support/notify_callback.h"
#include "support/thread.h"

// The message that carries one notification to the window (WM_USER + 1000).
inline constexpr std::uint32_t WM_INSTALLER_NOTIFY = 0x0400 + 1000;

// One notification on its way to the window; the window frees it.
struct NotifyMessage {
  std::int32_t code = 0;
  double value = 0.0;
  std::wstring text;
};

// The product's program; the installation waits for it or refuses to start
// while it runs. Two points before "exe".
inline constexpr wchar_t kProductExecutableName[] = L"talvorin..exe";

class CDownloadInstaller {
 public:
  explicit CDownloadInstaller(NotifyCallback windowCallback);
  // Ends a wait for the product, then waits for the remover, the downloader
  // and the runner, in the order in which one starts the next.
  ~CDownloadInstaller();
  CDownloadInstaller(const CDownloadInstaller&) = delete;
  CDownloadInstaller& operator=(const CDownloadInstaller&) = delete;

  // The user's choices for the next Start. `previousFolder` is accepted for
  // the window's convenience and not used: the uninstaller's own path says
  // where the earlier installation lies.
  void Configure(const std::wstring& downloadUrl, const std::wstring& previousFolder,
                 const std::wstring& previousUninstaller, const std::wstring& installDir,
                 bool desktopShortcut, bool quickStartShortcut, bool adminAct,
                 bool authorizationAct, const std::wstring& languageTag);

  // Starts the first stage and returns at once. False, with nothing started
  // and nothing notified, when the installation folder is empty or holds a
  // character no Windows path may hold (the window says "无效路径").
  //
  // With `insNew` set and the product running, the removal waits for the
  // product to end on a thread of its own ("InsNewWait"), polling every 100
  // ms, so the caller stays responsive; CancelWait ends that wait without
  // starting anything.
  bool Start();
  void CancelWait();
  // True while Start's wait for the product lasts.
  bool IsWaitingForProduct() const { return waiting_; }
  // While the user is asked whether to leave the wait, the product's end
  // must not start the removal behind the question: HoldWait keeps the wait
  // on (true) unless it is already over (false: the removal has started and
  // the installation goes on). ReleaseWait lets the wait go on deciding.
  bool HoldWait();
  void ReleaseWait();

  const std::wstring& PackagePath() const { return packagePath; }

 private:
  void Handle(std::int32_t code, double value, const wchar_t* text);
  void DeletePackageFiles();
  void StartRemoval();

  std::unique_ptr<UnInstaller> remover;
  std::unique_ptr<CDownloader> downloader;
  std::unique_ptr<CInstaller> runner;
  std::wstring downloadUrl;
  std::wstring previousUninstaller;
  std::wstring installDir;
  std::wstring packagePath;
  std::wstring languageTag;
  bool desktopShortcut = true;
  bool quickStartShortcut = true;
  bool adminAct = true;
  bool authorizationAct = false;
  NotifyCallback windowCallback;

  std::wstring workersPackagePath_;  // the path the downloader and runner were made for
  std::unique_ptr<Utils::Thread> waiter_;
  std::atomic<bool> cancelWait_{false};
  std::atomic<bool> waiting_{false};
  std::mutex waitDecision_;  // the waiter's decision to start against HoldWait
  bool holdWait_ = false;
  // A worker's reaction that starts the next stage (or the next attempt)
  // runs under this lock and not at all once the orchestrator is closing:
  // the destructor releases the workers while their threads may still be
  // in a notification.
  std::mutex reactionMutex_;
  bool closing_ = false;
};

// The package path remembered after the last download failure or finished
// installation of this process (empty before).
std::wstring LastPackagePath();
