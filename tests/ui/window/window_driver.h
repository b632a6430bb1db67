// Drives the installer's window on the offscreen host as a user would: the
// real main window, the real orchestrator against the package server, the
// demo package and the collector. Dialogs are answered from a script by
// their layout; the main window is driven by a step function called
// whenever the window has nothing else to do.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "test_support.h"
#include "ui/framework/offscreen_host.h"
#include "ui/window/main_wnd.h"

namespace WindowTest {

struct ShownDialog {
  std::wstring layout;
  std::wstring text;     // of "textLbl"
  std::wstring caption;  // of "captionLbl"
  int mainPage = -1;     // the main window's page meanwhile
  std::wstring focused;  // the control that had the focus when it opened
};

class WindowDriver {
 public:
  WindowDriver();
  ~WindowDriver();

  // Answers for a dialog layout, in order: "okBtn", "cancelBtn", "closebtn"
  // clicked, or keys pressed as a person at the keyboard does ("<Return>",
  // "<Escape>", "<Tab><Return>").
  void Answer(const std::wstring& layout, std::vector<std::wstring> buttons);
  // Runs `action` while the dialog of `layout` is open, before it is answered
  // (what a user or the system does meanwhile).
  void WhileOpen(const std::wstring& layout, std::function<void()> action) { whileOpen_[layout] = std::move(action); }
  // Called with the main window whenever it has nothing to do; returns
  // whether it did something.
  void OnIdle(std::function<bool(Installer::CMainWnd&, Ui::OffscreenHost&)> step) { step_ = std::move(step); }
  // Runs the installer's window until it closes: its close code. Only a
  // product started inside Temp() counts as running, so products that other
  // tests start meanwhile do not stop this window.
  std::optional<int> Run();

  const std::vector<ShownDialog>& Dialogs() const { return dialogs_; }
  std::vector<int> Pages() const { return pages_; }
  Ui::OffscreenEnvironment& Environment() { return environment_; }
  const std::wstring& RecordsKey() const { return recordsKey_; }
  TestSupport::TempDir& Temp() { return temp_; }
  // Where screenshots go (TALVORIN_SCREENSHOT_DIR), empty when not wanted.
  static std::string ScreenshotFolder();

 private:
  bool Idle(Ui::Window& top);

  TestSupport::TempDir temp_;
  std::unique_ptr<TestSupport::ScopedEnvironmentVariable> configHome_;
  std::unique_ptr<TestSupport::ScopedEnvironmentVariable> dataHome_;
  std::unique_ptr<TestSupport::ScopedEnvironmentVariable> processScope_;
  std::vector<std::unique_ptr<TestSupport::ScopedEnvironmentVariable>> tempFolder_;
  std::wstring recordsKey_;
  Ui::OffscreenEnvironment environment_{Ui::OffscreenEnvironment::Clock::kRealTime};
  std::map<std::wstring, std::deque<std::wstring>> answers_;
  std::map<std::wstring, std::function<void()>> whileOpen_;
  std::function<bool(Installer::CMainWnd&, Ui::OffscreenHost&)> step_;
  std::vector<ShownDialog> dialogs_;
  std::vector<int> pages_;
  Installer::CMainWnd* main_ = nullptr;
};

}  // namespace WindowTest
