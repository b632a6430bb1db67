// The real installer program in its real window, driven from outside as a
// person at the screen drives it: the program runs as a child process against
// the package server, the demo package and the collector; the test finds its
// window on the screen, reads which page the screen shows and clicks with
// the system's own input (XTest on a private Xvfb on Linux; SendInput under
// Windows, and so under Wine on the X display scripts/test-all.sh provides).
//
// With TALVORIN_SCREENSHOT_DIR set, the screen's picture of every page is
// written there (real-linux-page0.png ... real-wine-page3.png).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "analytics/collector_fixture.h"
#include "support/installer_settings.h"
#include "install/download_installer.h"
#include "install/file_operations.h"
#include "install/install_recorder.h"
#include "install/record_store.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "installer_program_fixture.h"
#include "test_support.h"
#include "ui/window/main_wnd.h"
#include "ui/window/page_reader.h"
#include "ui/window/real_screen.h"
#include "ui/window/real_window_driver.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "ui/framework/xvfb_display.h"
#endif

namespace {

using namespace std::chrono_literals;
using RealWindow::PageReader;
using RealWindow::Picture;
using RealWindow::RealWindowDriver;
using TestSupport::Collector;
using TestSupport::PackageServer;
using TestSupport::RecordedValue;
using TestSupport::kInstallerFileName;
using TestSupport::ScopedEnvironmentVariable;

const std::wstring kSep(1, Utils::kPathSeparator);

std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

// The system the pictures come from, for their file names.
std::string SystemName() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr ? "wine" : "windows";
#else
  return "linux";
#endif
}

void KeepScreenshot(const Picture& picture, int page, const std::string& kind = "page") {
  const char* folder = std::getenv("TALVORIN_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') return;
  const std::string path = std::string(folder) + "/real-" + SystemName() + "-" + kind + std::to_string(page) + ".png";
  EXPECT_TRUE(picture.WritePng(path)) << path;
}

// Another test's copy of the demo product may still be ending; the program
// refuses to install while one runs.
void WaitUntilTheProductIsGone() {
  RealWindow::PollUntil([] { return Utils::FindProcessId(kProductExecutableName) == 0; }, 30s);
}

// The waits of one run share a budget that ends well before the test
// runner's own limit (120 s), so that a stuck run fails here, with its
// message, and its program is ended rather than left behind.
class Budget {
 public:
  explicit Budget(std::chrono::seconds total) : end_(std::chrono::steady_clock::now() + total) {}
  std::chrono::milliseconds Limit(std::chrono::seconds wanted) const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return std::max(0ms, std::min<std::chrono::milliseconds>(wanted, left));
  }

 private:
  std::chrono::steady_clock::time_point end_;
};

// A child that must not outlive the test, whatever fails.
class ProgramRun {
 public:
  ~ProgramRun() {
    if (!started_) return;
    if (child_.IsRunning()) RealWindow::EndProcess(child_.ProcessId());
    try {
      child_.WaitForExit();
    } catch (const Utils::Exception&) {
    }
  }
  void Start(const std::wstring& commandLine) {
    child_.Start(commandLine);
    started_ = true;
  }
  bool Running() { return child_.IsRunning(); }
  std::uint32_t ProcessId() const { return child_.ProcessId(); }
  // The exit code once it has ended within `limit`.
  std::optional<std::uint32_t> WaitForExit(std::chrono::milliseconds limit) {
    std::uint32_t code = 0;
    if (!RealWindow::PollUntil([&] { return !child_.IsRunning(&code); }, limit)) return std::nullopt;
    return code;
  }

 private:
  Utils::ChildProcess child_;
  bool started_ = false;
};

class RealWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runs_.Held()) << "another test program kept the installer for 5 minutes";
    ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error();
    ASSERT_TRUE(Collector::Shared().Started()) << Collector::Shared().Error();
#ifdef _WIN32
    std::string error;
    screen_ = RealWindow::Screen::Open(error);
    if (!screen_) GTEST_SKIP() << error << " (scripts/test-all.sh starts Xvfb for the Wine run)";
    // Nothing of an earlier run may make the program offer to open an
    // existing installation: this test owns the records while it runs.
    Installer::DeleteRecordKey(Installer::kRecordsKey);
#else
    xvfb_ = std::make_unique<TestSupport::XvfbDisplay>();
    ASSERT_FALSE(xvfb_->Name().empty()) << "Xvfb did not start";
    environment_.push_back(std::make_unique<ScopedEnvironmentVariable>("DISPLAY", xvfb_->Name()));
    environment_.push_back(std::make_unique<ScopedEnvironmentVariable>("SDL_VIDEODRIVER", std::string("x11")));
    // An English system: the program speaks English unless told otherwise.
    environment_.push_back(std::make_unique<ScopedEnvironmentVariable>("LC_ALL", std::string("en_US.UTF-8")));
    // The program's lock, records, analytics state and default folder stay
    // inside this test's folder.
    // Laid out as a user's home is, since the custom page shows the folder.
    const struct {
      const char* name;
      const wchar_t* folder;
    } homes[] = {{"HOME", L"home"},
                 {"XDG_CONFIG_HOME", L"home/.config"},
                 {"XDG_DATA_HOME", L"home/.local/share"},
                 {"XDG_RUNTIME_DIR", L"run"}};
    for (const auto& home : homes) {
      const std::wstring folder = temp_.File(home.folder);
      ASSERT_TRUE(Utils::CreateDirectories(folder));
      environment_.push_back(std::make_unique<ScopedEnvironmentVariable>(home.name, Narrow(folder)));
    }
    // Other tests run beside this one and start the product too: the
    // program, and this test's waits, count only a product inside this
    // test's folder, and the program's cache folder is its own.
    const std::wstring cache = temp_.File(L"tmp");
    ASSERT_TRUE(Utils::CreateDirectories(cache));
    environment_.push_back(std::make_unique<ScopedEnvironmentVariable>("TMPDIR", Narrow(cache)));
    environment_.push_back(
        std::make_unique<ScopedEnvironmentVariable>("TALVORIN_PROCESS_SCOPE", Narrow(temp_.path())));
    std::string error;
    screen_ = RealWindow::Screen::Open(error);
    ASSERT_TRUE(screen_ != nullptr) << error;
#endif
    ASSERT_EQ(reader_.Error(), "");

    // The program in a folder of its own with the settings file beside it.
    const std::wstring folder = temp_.File(L"program");
    ASSERT_TRUE(Utils::CreateDirectories(folder));
    program_ = folder + kSep + kInstallerFileName;
    ASSERT_TRUE(Installer::CopyFileReplacing(TestSupport::ProgramFolder() + kSep + kInstallerFileName, program_));
    // Paced so that the installing page shows for a few seconds: the whole
    // package in about three.
    const std::size_t packageBytes = TestSupport::ReadFileBytes(TestSupport::DemoPackagePath()).size();
    ASSERT_GT(packageBytes, 0u);
    const std::string url = PackageServer::Shared().EntryUrl(
        PackageServer::NewId("real-window") + ";file=" + TestSupport::DemoPackageFileName() +
        ";throttle=" + std::to_string(packageBytes / 3));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder + kSep + Installer::kSettingsFileName,
                                            "[Install]\r\nDownloadUrl=" + url + "\r\nAnalyticsServerUrl=" +
                                                Collector::Shared().CollectUrl(eventsId_) +
                                                "\r\nIsEnableAppAnalytics=true\r\nIsCheckNet=false\r\n"));
    WaitUntilTheProductIsGone();
  }

  void TearDown() override {
    if (installed_.empty()) return;
    WaitUntilTheProductIsGone();
#ifdef _WIN32
    // The default folder is the system's: leave nothing behind.
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(installed_), ignored);
    Installer::DeleteRecordKey(Installer::kRecordsKey);
#endif
  }

  TestSupport::InstallerRunsOneAtATime runs_;
  TestSupport::TempDir temp_;
#ifndef _WIN32
  std::unique_ptr<TestSupport::XvfbDisplay> xvfb_;
#endif
  std::vector<std::unique_ptr<ScopedEnvironmentVariable>> environment_;
  std::unique_ptr<RealWindow::Screen> screen_;
  PageReader reader_;
  std::wstring program_;
  std::string eventsId_ = PackageServer::NewId("real-window-events");
  std::wstring installed_;
};

TEST_F(RealWindowTest, OneClickInstallationThroughTheProgramsOwnWindow) {
  const std::optional<Ui::Rect> animation = reader_.RectOf(L"progressAnLb");
  ASSERT_TRUE(animation) << "the skin has no animation on the installing page";
  const Budget budget(100s);
  ProgramRun run;
  run.Start(L"\"" + program_ + L"\"");
  RealWindowDriver driver(*screen_, reader_, run.ProcessId(), [&] { return run.Running(); });
  ASSERT_TRUE(driver.WaitForWindow(budget.Limit(40s))) << driver.Error();

  // The start page, then the custom page and back.
  std::optional<Picture> shown = driver.WaitForPage(0, budget.Limit(20s));
  ASSERT_TRUE(shown) << driver.Error();
  KeepScreenshot(*shown, 0);
#ifndef _WIN32
  // Window lists and task switchers show the product's mark, a square. (Wine
  // reported no icon for the program's window to this test, so the Windows
  // build's class icon is not checked here.)
  const std::optional<Ui::Size> icon = screen_->IconOf(run.ProcessId(), reader_.WindowSize());
  ASSERT_TRUE(icon) << "the window has no icon";
  EXPECT_EQ(icon->cx, icon->cy);
  EXPECT_GE(icon->cx, 32);
#endif
  ASSERT_TRUE(driver.ClickControl(L"customeBtn"));
  shown = driver.WaitForPage(1, budget.Limit(20s));
  ASSERT_TRUE(shown) << driver.Error();
  KeepScreenshot(*shown, 1);
  ASSERT_TRUE(driver.ClickControl(L"backBtn"));
  ASSERT_TRUE(driver.WaitForPage(0, budget.Limit(20s))) << driver.Error();

  // One click installs; the installing page runs its animation and its bar
  // only ever moves on, until the finish page shows.
  ASSERT_TRUE(driver.ClickControl(L"defaultInstallBtn"));
  std::set<std::vector<std::uint32_t>> frames;
  std::vector<double> progress;
  std::optional<Picture> midway;
  std::optional<Picture> lastInstalling;
  auto watch = [&](const Picture& picture, int page) {
    if (page != Installer::kPageInstalling) return;
    frames.insert(picture.Part(*animation).pixels);
    const double filled = reader_.ProgressShown(picture);
    progress.push_back(filled);
    if (!midway && filled >= 0.2 && filled <= 0.9) midway = picture;
    lastInstalling = picture;
  };
  shown = driver.WaitForPage(Installer::kPageFinished, budget.Limit(90s), watch);
  ASSERT_TRUE(shown) << driver.Error();
  ASSERT_FALSE(progress.empty()) << "the installing page never showed";
  KeepScreenshot(midway ? *midway : *lastInstalling, 2);
  KeepScreenshot(*shown, 3);
  EXPECT_GE(frames.size(), 2u) << "the installing page's animation did not move";
  EXPECT_GT(*std::max_element(progress.begin(), progress.end()), 0.0) << "the progress bar never moved";
  for (std::size_t i = 1; i < progress.size(); ++i) {
    EXPECT_GE(progress[i], progress[i - 1] - 0.02) << "the bar went back at look " << i;
  }

  // The finish page shows what happened: the product is installed and recorded.
  installed_ = RecordedValue(L"InstallPath");
  ASSERT_FALSE(installed_.empty()) << "no installation was recorded";
  EXPECT_TRUE(Utils::FileExists(installed_ + kSep + L"talvorin..exe"));
  EXPECT_EQ(TestSupport::ReadFileBytes(installed_ + kSep + L"talvorin.dat").size(), 1200000u);
  EXPECT_FALSE(Utils::FileExists(installed_ + kSep + L"__Package_Talvorin.exe"));
  EXPECT_TRUE(Utils::FileExists(installed_ + kSep + L"set.ini"));
  EXPECT_EQ(RecordedValue(L"UnInstallEp"), installed_ + kSep + L"uninst.ep");
  // The package installed the product in the language the window spoke.
  EXPECT_EQ(TestSupport::ReadFileBytes(installed_ + kSep + L"config.ini"), "[Install]\nLanguage=en-US\n");

  // Its button starts the product and ends the program.
  ASSERT_TRUE(driver.ClickControl(L"openProduceBtn"));
  const std::optional<std::uint32_t> code = run.WaitForExit(budget.Limit(30s));
  ASSERT_TRUE(code) << "the program did not end after the finish page's button";
  EXPECT_EQ(*code, 0u);

  EXPECT_EQ(Collector::Shared().EventNames(eventsId_),
            (std::vector<std::string>{"自定义安装", "立即安装", "安装中", "下载器启动", "开始下载大包",
                                      "大包下载完毕", "安装成功", "立即体验"}));
}

// The same kind of installation by the keyboard alone, with the custom page,
// through the system's own key presses. What has the focus is read off the
// screen: the ring the window draws around it.
TEST_F(RealWindowTest, CustomInstallationByKeyboardAloneThroughTheProgramsOwnWindow) {
  const Budget budget(100s);
  ProgramRun run;
  run.Start(L"\"" + program_ + L"\"");
  RealWindowDriver driver(*screen_, reader_, run.ProcessId(), [&] { return run.Running(); });
  ASSERT_TRUE(driver.WaitForWindow(budget.Limit(40s))) << driver.Error();
  ASSERT_TRUE(driver.WaitForPage(0, budget.Limit(20s))) << driver.Error();
  // The keys go where a person's would: to the window under the pointer, or
  // the one last clicked. The click lands on the logo, which does nothing.
  const Ui::Rect window = driver.WindowRect();
  screen_->Click({window.left + window.Width() / 2, window.top + 126});

  // Tab until the ring shows on a control; false when it never does.
  auto tabTo = [&](const std::wstring& name) {
    for (int i = 0; i < 10; ++i) {
      screen_->PressKey(Ui::Key::kTab);
      const bool shown = RealWindow::PollUntil([&] { return reader_.FocusRingAround(driver.Look(), name); },
                                               budget.Limit(3s));
      if (shown) return true;
    }
    return false;
  };
  auto ringOn = [&](const std::wstring& name) {
    return RealWindow::PollUntil([&] { return reader_.FocusRingAround(driver.Look(), name); }, budget.Limit(10s));
  };
  ASSERT_TRUE(tabTo(L"customeBtn"));
  screen_->PressKey(Ui::Key::kReturn);
  std::optional<Picture> shown = driver.WaitForPage(1, budget.Limit(20s));
  ASSERT_TRUE(shown) << driver.Error();
  // The custom page starts in its folder field, the ring already there
  // since the person uses the keyboard.
  EXPECT_TRUE(ringOn(L"installDirEdit"));
  ASSERT_TRUE(tabTo(L"createDSCb"));
  screen_->PressKey(Ui::Key::kSpace);
  ASSERT_TRUE(tabTo(L"createQSCb"));
  screen_->PressKey(Ui::Key::kSpace);
  KeepScreenshot(driver.Look(), 1, "keyboard");
  // Return on a check box is the page's: its install button.
  screen_->PressKey(Ui::Key::kReturn);
  shown = driver.WaitForPage(Installer::kPageFinished, budget.Limit(90s));
  ASSERT_TRUE(shown) << driver.Error();
  EXPECT_TRUE(ringOn(L"openProduceBtn"));

  installed_ = RecordedValue(L"InstallPath");
  ASSERT_FALSE(installed_.empty()) << "no installation was recorded";
  const std::string arguments = TestSupport::ReadFileBytes(installed_ + kSep + L"setup-arguments.txt");
  EXPECT_NE(arguments.find("\n-dsc=false\n"), std::string::npos) << arguments;
  EXPECT_NE(arguments.find("\n-ssc=false\n"), std::string::npos) << arguments;

  screen_->PressKey(Ui::Key::kReturn);
  const std::optional<std::uint32_t> code = run.WaitForExit(budget.Limit(30s));
  ASSERT_TRUE(code) << "the program did not end after Return on the finish page";
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(Collector::Shared().EventNames(eventsId_),
            (std::vector<std::string>{"自定义安装", "自定义安装_立即安装", "安装中", "下载器启动", "开始下载大包",
                                      "大包下载完毕", "安装成功", "立即体验"}));
}

// "-language=3" starts the window in Indonesian; the combo box then switches
// it to Japanese, which the visible page and the next page speak at once and
// the package receives.
TEST_F(RealWindowTest, TheLanguageOfTheCommandLineAndOfTheComboBox) {
  const PageReader indonesian(3);
  const PageReader japanese(9);
  ASSERT_EQ(indonesian.Error(), "");
  ASSERT_EQ(japanese.Error(), "");
  const std::optional<Ui::Rect> combo = japanese.RectOf(L"languageCombo");
  ASSERT_TRUE(combo) << "the skin has no language combo box";
  const Budget budget(100s);
  ProgramRun run;
  run.Start(L"\"" + program_ + L"\" -language=3");
  RealWindowDriver inIndonesian(*screen_, indonesian, run.ProcessId(), [&] { return run.Running(); });
  ASSERT_TRUE(inIndonesian.WaitForWindow(budget.Limit(40s))) << inIndonesian.Error();
  ASSERT_TRUE(inIndonesian.WaitForPage(0, budget.Limit(20s))) << inIndonesian.Error();
  // Its buttons say what the Indonesian texts say, not the English ones. The
  // pointer goes to an empty spot first, so that no button shows hovered.
  const Ui::Point away{inIndonesian.WindowRect().left + 4, inIndonesian.WindowRect().top + 300};
  screen_->MovePointer(away);
  RealWindow::PollUntil([&] { return indonesian.MatchControl(inIndonesian.Look(), 0, L"defaultInstallBtn") >= 0.995; }, 10s);
  Picture look = inIndonesian.Look();
  for (const wchar_t* control : {L"defaultInstallBtn", L"customeBtn", L"lbLanguage"}) {
    EXPECT_GE(indonesian.MatchControl(look, 0, control), 0.995) << Narrow(control);
    EXPECT_LT(reader_.MatchControl(look, 0, control), 0.99) << Narrow(control) << " looks English";
  }

  // The list opens under the box; 日本語 is its tenth item (24 pixels each).
  ASSERT_TRUE(inIndonesian.ClickControl(L"languageCombo"));
  std::this_thread::sleep_for(500ms);  // the list is drawn before it is clicked
  inIndonesian.ClickAt({(combo->left + combo->right) / 2, combo->bottom + 1 + 9 * 24 + 12});
  RealWindowDriver inJapanese(*screen_, japanese, run.ProcessId(), [&] { return run.Running(); });
  ASSERT_TRUE(inJapanese.WaitForWindow(budget.Limit(20s))) << inJapanese.Error();
  std::optional<Picture> shown = inJapanese.WaitForPage(0, budget.Limit(20s));
  ASSERT_TRUE(shown) << inJapanese.Error();
  screen_->MovePointer(away);
  RealWindow::PollUntil([&] { return japanese.MatchControl(inJapanese.Look(), 0, L"defaultInstallBtn") >= 0.995; }, 10s);
  look = inJapanese.Look();
  for (const wchar_t* control : {L"defaultInstallBtn", L"customeBtn", L"lbLanguage"}) {
    EXPECT_GE(japanese.MatchControl(look, 0, control), 0.995) << Narrow(control) << " is not Japanese";
  }
  ASSERT_TRUE(inJapanese.ClickControl(L"customeBtn"));
  shown = inJapanese.WaitForPage(1, budget.Limit(20s));
  ASSERT_TRUE(shown) << inJapanese.Error();
  screen_->MovePointer(away);
  RealWindow::PollUntil([&] { return japanese.MatchControl(inJapanese.Look(), 1, L"customeInstallBtn") >= 0.995; }, 10s);
  shown = inJapanese.Look();
  for (const wchar_t* control : {L"lbInstallPath", L"lbOtherOptions", L"customeInstallBtn"}) {
    EXPECT_GE(japanese.MatchControl(*shown, 1, control), 0.995) << Narrow(control) << " is not Japanese";
    EXPECT_LT(indonesian.MatchControl(*shown, 1, control), 0.99) << Narrow(control) << " is still Indonesian";
  }

  ASSERT_TRUE(inJapanese.ClickControl(L"customeInstallBtn"));
  shown = inJapanese.WaitForPage(Installer::kPageFinished, budget.Limit(90s));
  ASSERT_TRUE(shown) << inJapanese.Error();
  installed_ = RecordedValue(L"InstallPath");
  ASSERT_FALSE(installed_.empty()) << "no installation was recorded";
  EXPECT_EQ(TestSupport::ReadFileBytes(installed_ + kSep + L"config.ini"), "[Install]\nLanguage=ja-JP\n");
  ASSERT_TRUE(inJapanese.ClickControl(L"closebtn"));
  const std::optional<std::uint32_t> code = run.WaitForExit(budget.Limit(30s));
  ASSERT_TRUE(code) << "the program did not end after the finish page's close button";
}

#ifndef _WIN32
// A private session bus for one test: the accessibility bus and its registry
// start from it on demand (D-Bus activation), and end with it.
class SessionBus {
 public:
  SessionBus() {
    if (access("/usr/bin/dbus-daemon", X_OK) != 0) {
      error_ = "/usr/bin/dbus-daemon is missing (package dbus-daemon)";
      return;
    }
    child_.Start(L"/usr/bin/dbus-daemon --session --nofork --print-address=1");
    // Its first line that names a bus is the address; warnings may come first.
    std::string line;
    char c = 0;
    while (child_.ReadOutput(&c, 1) == 1) {
      if (c != '\n') {
        line.push_back(c);
        continue;
      }
      if (line.rfind("unix:", 0) == 0) {
        address_ = line;
        break;
      }
      line.clear();
    }
    if (address_.empty()) error_ = "the session bus did not start";
  }
  ~SessionBus() {
    if (child_.IsRunning()) RealWindow::EndProcess(child_.ProcessId());
    try {
      child_.WaitForExit();
    } catch (const Utils::Exception&) {
    }
  }
  const std::string& Address() const { return address_; }
  const std::string& Error() const { return error_; }

 private:
  Utils::ChildProcess child_;
  std::string address_;
  std::string error_;
};

// A screen reader's client (AT-SPI through Debian's pyatspi, a real client
// of the accessibility bus) reads the program's window and drives a custom
// installation through it: names and roles, the folder field, the check
// boxes, the progress, and the quit question read out as its dialog opens.
TEST_F(RealWindowTest, AScreenReaderReadsAndDrivesTheProgramsOwnWindow) {
  const std::wstring client = TestSupport::ProgramFolder() + kSep + L"screen_reader_client.py";
  if (access("/usr/bin/python3", X_OK) != 0 || !Utils::FileExists(client)) {
    GTEST_SKIP() << "no /usr/bin/python3 or client script";
  }
  SessionBus bus;
  if (bus.Address().empty()) GTEST_SKIP() << "no session bus for the accessibility bus: " << bus.Error();
  ScopedEnvironmentVariable address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
  ScopedEnvironmentVariable noOtherBus("AT_SPI_BUS_ADDRESS", std::string());

  ProgramRun run;
  run.Start(L"\"" + program_ + L"\"");
  const std::wstring folder = temp_.File(L"Read Aloud") + kSep + L"Talvorin";
  Utils::ChildProcess reader;
  reader.Start(L"/usr/bin/python3 \"" + client + L"\" " + std::to_wstring(run.ProcessId()) + L" \"" + folder + L"\"");
  std::string said;
  char buffer[512];
  for (std::size_t n; (n = reader.ReadOutput(buffer, sizeof buffer)) > 0;) said.append(buffer, n);
  EXPECT_EQ(reader.WaitForExit(), 0u) << said;
  EXPECT_NE(said.find("ok   the dialog is announced with its message"), std::string::npos) << said;
  EXPECT_NE(said.find("ok   the finished page shows 'Start now'"), std::string::npos) << said;
  EXPECT_EQ(said.find("FAIL"), std::string::npos) << said;
  std::error_code ignored;
  EXPECT_FALSE(std::filesystem::is_empty(std::filesystem::path(folder), ignored)) << "installed where the reader typed";
}
#endif

}  // namespace
