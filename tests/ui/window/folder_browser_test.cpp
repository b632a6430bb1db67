// The custom page's browse button on Linux: the desktop's folder chooser runs
// as a real child process (here small stand-ins for zenity and kdialog put
// first on the search path) while the window stays responsive, and its answer
// lands in the folder field. (Windows shows its own modal dialog, which waits
// for a person.)
#ifndef _WIN32

#include "support/installer_settings.h"
#include "ui/window/folder_browser.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/text.h"
#include "test_support.h"
#include "ui/framework/edit.h"
#include "ui/window/main_wnd.h"
#include "ui/window/message_box.h"
#include "ui/window/window_driver.h"

namespace {

using Installer::CMainWnd;
using WindowTest::WindowDriver;
namespace fs = std::filesystem;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A folder of stand-in choosers. Each records its arguments, one a line, and
// its process id, then waits until the test releases it, then does `answer`.
class FakeChoosers {
 public:
  explicit FakeChoosers(const TestSupport::TempDir& temp)
      : bin_(Utf8(temp.File(L"bin"))),
        arguments_(Utf8(temp.File(L"arguments"))),
        pid_(Utf8(temp.File(L"pid"))),
        release_(Utf8(temp.File(L"release"))) {
    fs::create_directories(bin_);
  }

  void Add(const std::string& name, const std::string& answer) {
    const std::string path = bin_ + "/" + name;
    const std::string script = "#!/bin/sh\n"
                               "echo $$ > '" + pid_ + "'\n"
                               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + arguments_ + "'\n"
                               "while [ ! -e '" + release_ + "' ]; do sleep 0.02; done\n" + answer + "\n";
    ASSERT_TRUE(TestSupport::WriteFileBytes(Utils::ToWide(path, Utils::kCodePageUtf8), script));
    fs::permissions(path, fs::perms::owner_all);
  }
  void Release() { ASSERT_TRUE(TestSupport::WriteFileBytes(Utils::ToWide(release_, Utils::kCodePageUtf8), "")); }

  const std::string& Bin() const { return bin_; }
  std::vector<std::string> Arguments() const {
    return Lines(TestSupport::ReadFileBytes(Utils::ToWide(arguments_, Utils::kCodePageUtf8)));
  }
  int Pid() const { return std::atoi(TestSupport::ReadFileBytes(Utils::ToWide(pid_, Utils::kCodePageUtf8)).c_str()); }

 private:
  std::string bin_, arguments_, pid_, release_;
};

std::string SearchPathWith(const std::string& folder) {
  const char* old = std::getenv("PATH");
  return folder + ":" + (old != nullptr ? old : "/usr/bin:/bin");
}

TEST(FolderBrowserTest, TheDesktopsChooserAnswersIntoTheFolderField) {
  // The window speaks Chinese here: the chooser's title is read below.
  struct ChineseWindow {
    Installer::InstallerSettings saved = Installer::TheInstallerSettings();
    ChineseWindow() { Installer::TheInstallerSettings().language = 1; }
    ~ChineseWindow() { Installer::TheInstallerSettings() = saved; }
  } chinese;
  struct Case {
    const char* name;
    std::optional<std::string> desktop;
    std::vector<std::pair<std::string, std::string>> choosers;  // name, answer
    bool onlyTheseOnPath;
    std::vector<std::string> arguments;  // what the chooser got; {start} stands for the typed folder
    std::optional<std::string> answer;    // the field afterwards, nullopt: unchanged
  };
  const std::string title = "--title=选择一个文件夹";
  const std::vector<Case> cases = {
      {"zenity answers",
       std::nullopt,
       {{"zenity", "printf '%s\\n' '/picked/My Folder/文件夹'"}},
       false,
       {"--file-selection", "--directory", title, "--filename={start}/"},
       "/picked/My Folder/文件夹"},
      {"zenity cancelled", std::nullopt, {{"zenity", "exit 1"}}, false,
       {"--file-selection", "--directory", title, "--filename={start}/"}, std::nullopt},
      {"kdialog on KDE",
       "ubuntu:KDE",
       {{"zenity", "echo /not/this/one"}, {"kdialog", "echo /from/kde"}},
       false,
       {"--title", "选择一个文件夹", "--getexistingdirectory", "{start}"},
       "/from/kde"},
      {"no chooser", std::nullopt, {}, true, {}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowDriver run;
    FakeChoosers fakes(run.Temp());
    for (const auto& [name, answer] : c.choosers) fakes.Add(name, answer);
    TestSupport::ScopedEnvironmentVariable path("PATH", c.onlyTheseOnPath ? fakes.Bin() : SearchPathWith(fakes.Bin()));
    TestSupport::ScopedEnvironmentVariable desktop("XDG_CURRENT_DESKTOP", c.desktop);
    // Blanks, quotes and backslashes reach the chooser as they are.
    const std::wstring start = run.Temp().File(L"Start \"here\" a\\b");
    fs::create_directories(fs::path(start));
    run.Answer(Installer::kExitTip, {L"okBtn"});

    enum { kOpening, kOpen, kAnswering, kDone } stage = kOpening;
    bool respondedWhileOpen = false;
    std::wstring field;
    run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
      switch (stage) {
        case kOpening:
          if (w.CurrentPage() == Installer::kPageStart) return h.ClickControl(L"customeBtn");
          h.ClickControl(L"installDirEdit");
          h.KeyDown(Ui::Key::kA, {.control = true});
          h.TypeText(start);
          h.ClickControl(L"chDirBtn");
          stage = kOpen;
          return true;
        case kOpen:
          if (w.IsChoosingFolder()) {
            // The window takes input while the chooser waits for its person;
            // a second click opens no second chooser.
            h.ClickControl(L"chDirBtn");
            h.ClickControl(L"backBtn");
            respondedWhileOpen = w.CurrentPage() == Installer::kPageStart;
            h.ClickControl(L"customeBtn");
            fakes.Release();
          }
          stage = kAnswering;
          return true;
        case kAnswering:
          if (w.IsChoosingFolder()) return false;  // its answer wakes the window
          field = w.FindControl(L"installDirEdit")->Text();
          stage = kDone;
          return h.ClickControl(L"closebtn");
        case kDone:
          break;
      }
      return false;
    });
    EXPECT_EQ(run.Run(), 1);
    EXPECT_EQ(stage, kDone);
    if (c.choosers.empty()) {
      EXPECT_TRUE(fakes.Arguments().empty());
    } else {
      EXPECT_TRUE(respondedWhileOpen);
      std::vector<std::string> expected;
      for (std::string argument : c.arguments) {
        if (const std::size_t at = argument.find("{start}"); at != std::string::npos) {
          argument.replace(at, 7, Utf8(start));
        }
        expected.push_back(argument);
      }
      EXPECT_EQ(fakes.Arguments(), expected);  // one chooser, run once
    }
    EXPECT_EQ(Utf8(field), c.answer.value_or(Utf8(start)));
  }
}

TEST(FolderBrowserTest, ClosingTheWindowClosesItsChooser) {
  WindowDriver run;
  FakeChoosers fakes(run.Temp());
  fakes.Add("zenity", "echo /too/late");
  TestSupport::ScopedEnvironmentVariable path("PATH", SearchPathWith(fakes.Bin()));
  TestSupport::ScopedEnvironmentVariable desktop("XDG_CURRENT_DESKTOP", std::nullopt);
  run.Answer(Installer::kExitTip, {L"okBtn"});
  bool opened = false, closing = false;
  run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart) return h.ClickControl(L"customeBtn");
    if (!opened) {
      opened = true;
      return h.ClickControl(L"chDirBtn");
    }
    if (!closing && w.IsChoosingFolder()) {
      // Closed once the chooser has shown itself (written its id).
      if (fakes.Pid() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
      }
      closing = true;
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  // Without the chooser being ended, the window would wait for a person here.
  EXPECT_EQ(run.Run(), 1);
  EXPECT_TRUE(closing);
  const int pid = fakes.Pid();
  ASSERT_GT(pid, 0);
  EXPECT_EQ(::kill(pid, 0), -1);  // ended and collected
  EXPECT_EQ(errno, ESRCH);
}

}  // namespace

#endif  // _WIN32
